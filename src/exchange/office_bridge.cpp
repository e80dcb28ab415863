// The connection to the office over UNO: the local runtime, one bridge per
// office, the workbooks tracked for the end of a command, and the life of a
// SpreadsheetApp from its start to its release.
#include "exchange/office_bridge.h"

#include <algorithm>
#include <future>
#include <mutex>
#include <thread>

#include <com/sun/star/bridge/BridgeFactory.hpp>
#include <com/sun/star/bridge/XBridgeFactory2.hpp>
#include <com/sun/star/connection/Connector.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/connection/XConnection.hpp>
#include <com/sun/star/connection/XConnector.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/lang/IndexOutOfBoundsException.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/XModifiable.hpp>
#include <com/sun/star/util/XNumberFormatsSupplier.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <rtl/bootstrap.hxx>

namespace trevolo {

bool OfficeEngineBuilt() noexcept
{
    return true;
}

namespace office_detail {

// ---------------------------------------------------------------------------
// Texts and calls

rtl::OUString U(std::string_view s)
{
    return rtl::OUString(s.data(), static_cast<sal_Int32>(s.size()), RTL_TEXTENCODING_UTF8);
}

std::string S(const rtl::OUString& u)
{
    rtl::OString o = rtl::OUStringToOString(u, RTL_TEXTENCODING_UTF8);
    return std::string(o.getStr(), static_cast<size_t>(o.getLength()));
}

css::beans::PropertyValue Prop(const char* name, const Any& value)
{
    css::beans::PropertyValue p;
    p.Name = rtl::OUString::createFromAscii(name);
    p.Value = value;
    return p;
}

Sequence<css::beans::PropertyValue> Props(std::initializer_list<css::beans::PropertyValue> list)
{
    Sequence<css::beans::PropertyValue> seq(static_cast<sal_Int32>(list.size()));
    sal_Int32 i = 0;
    for (const auto& p : list)
        seq[i++] = p;
    return seq;
}

[[noreturn]] void Fail(std::string_view what, const css::uno::Exception& e)
{
    std::string m(what);
    const std::string detail = S(e.Message);
    if (!detail.empty())
        m += ": " + detail;
    throw OfficeError(m);
}

// ---------------------------------------------------------------------------
// Workbooks

void Book::pin(const Reference<css::drawing::XShape>& shape) const
{
    if (shape.is() && std::find(pinned.begin(), pinned.end(), shape) == pinned.end())
        pinned.push_back(shape);
}

Reference<css::sheet::XSpreadsheetDocument> Book::spreadsheet() const
{
    if (!doc.is())
        throw OfficeError("the workbook is closed");
    return Reference<css::sheet::XSpreadsheetDocument>(doc, UNO_QUERY_THROW);
}

Reference<css::container::XIndexAccess> Book::sheets() const
{
    if (!sheetsOnce.is())
        sheetsOnce.set(spreadsheet()->getSheets(), UNO_QUERY_THROW);
    return sheetsOnce;
}

Reference<css::util::XNumberFormats> Book::numberFormats() const
{
    if (!formatsOnce.is()) {
        Reference<css::util::XNumberFormatsSupplier> sup(spreadsheet(), UNO_QUERY_THROW);
        formatsOnce.set(sup->getNumberFormats(), UNO_QUERY_THROW);
    }
    return formatsOnce;
}

Reference<css::sheet::XSpreadsheet> Book::sheet(int index) const
{
    auto all = sheets();
    if (index < 1)
        throw OfficeError("there is no worksheet " + std::to_string(index));
    try {
        return Reference<css::sheet::XSpreadsheet>(all->getByIndex(index - 1), UNO_QUERY_THROW);
    } catch (const css::lang::IndexOutOfBoundsException&) {
        throw OfficeError("there is no worksheet " + std::to_string(index));
    }
}

void Book::forget() noexcept
{
    pinned.clear();
    sheetsOnce.clear();
    formatsOnce.clear();
}

void Book::close() noexcept
{
    if (!doc.is())
        return;
    Reference<css::lang::XComponent> d = doc;
    doc.clear();
    forget();
    try {
        Reference<css::util::XModifiable> mod(d, UNO_QUERY);
        if (mod.is())
            mod->setModified(false);
        Reference<css::util::XCloseable> c(d, UNO_QUERY);
        if (c.is())
            c->close(true);
        else
            d->dispose();
    } catch (...) {
        // A veto or a dying office: the workbook is gone for us either way.
    }
}

// ---------------------------------------------------------------------------
// The session

std::shared_ptr<Book> Session::adopt(const Reference<css::lang::XComponent>& doc)
{
    auto b = std::make_shared<Book>();
    b->doc = doc;
    b->canShow = canShow;
    books.erase(std::remove_if(books.begin(), books.end(), [](const auto& w) { return w.expired(); }), books.end());
    books.push_back(b);
    return b;
}

void Session::disposeBridge() noexcept
{
    Reference<css::lang::XComponent> c(bridge, UNO_QUERY);
    bridge.clear();
    if (c.is()) {
        try {
            c->dispose();
        } catch (...) {
            // Already gone with the office.
        }
    }
}

void Session::detach() noexcept
{
    for (auto& w : books)
        if (auto b = w.lock()) {
            b->doc.clear();
            b->forget();
        }
    books.clear();
    desktop.clear();
    context.clear();
}

// Letting go of a reference into the office sends it a release message,
// written by the bridge's own thread some time later. One written after the
// office has ended goes into a closed pipe; so every reference but the
// desktop is let go while the office still runs, and the bridge is disposed
// right after the office is told to end, before the desktop's reference goes
// (a release through a disposed bridge sends nothing).
void Session::end(std::chrono::milliseconds grace) noexcept
{
    for (auto& w : books)
        if (auto b = w.lock())
            b->close();
    books.clear();
    context.clear();
    Reference<css::frame::XDesktop2> last = std::move(desktop);
    desktop.clear();
    if (last.is()) {
        try {
            last->terminate();
        } catch (...) {
            // DisposedException: the office went away while answering.
        }
    }
    disposeBridge();
    last.clear();
    process.end(grace);
}

// ---------------------------------------------------------------------------
// Starting and connecting

namespace {

// The local UNO runtime, bootstrapped once with the office's types.
Reference<css::uno::XComponentContext> LocalContext(const std::string& programDir)
{
    static std::mutex m;
    static Reference<css::uno::XComponentContext>* local = nullptr;  // kept until exit
    std::lock_guard<std::mutex> lock(m);
    if (local)
        return *local;
    rtl::Bootstrap::set(rtl::OUString("URE_BOOTSTRAP"), U("vnd.sun.star.pathname:" + programDir + "/fundamentalrc"));
    Reference<css::uno::XComponentContext> ctx = cppu::defaultBootstrap_InitialComponentContext();
    if (!ctx.is())
        return {};
    local = new Reference<css::uno::XComponentContext>(ctx);
    return *local;
}

}  // namespace

std::shared_ptr<Session> StartSession(OfficeUse use)
{
    const std::string dir = OfficeProgramDir();
    auto session = std::make_shared<Session>();
    session->use = use;
    const bool visible = use == OfficeUse::Report && DisplayAvailable();
    session->canShow = visible;
    if (!session->process.start(dir, visible))
        return nullptr;

    constexpr std::chrono::milliseconds kNoGrace{0};
    try {
        // The local runtime is bootstrapped from the office's folder once an
        // office has answered from it (its pipe exists): a folder holding
        // something else must never become the process's type library.
        Reference<css::connection::XConnector> connector;
        Reference<css::bridge::XBridgeFactory2> bridges;
        const rtl::OUString where = U("pipe,name=" + session->process.pipeName());
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!session->context.is()) {
            if (std::chrono::steady_clock::now() > deadline || !session->process.alive()) {
                session->end(kNoGrace);
                return nullptr;
            }
            if (!connector.is()) {
                if (!session->process.listening()) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
                    continue;
                }
                Reference<css::uno::XComponentContext> local = LocalContext(dir);
                if (!local.is()) {
                    session->end(kNoGrace);
                    return nullptr;
                }
                connector = css::connection::Connector::create(local);
                bridges = css::bridge::BridgeFactory::create(local);
            }
            try {
                // A bridge of our own, not the URL resolver's anonymous one,
                // so that the end of the command can dispose it.
                Reference<css::connection::XConnection> connection = connector->connect(where);
                session->bridge = bridges->createBridge(rtl::OUString(), "urp", connection, nullptr);
                Reference<css::uno::XInterface> x = session->bridge->getInstance("StarOffice.ComponentContext");
                session->context.set(x, UNO_QUERY);
                if (!session->context.is())
                    session->disposeBridge();
            } catch (const css::connection::NoConnectException&) {
                session->disposeBridge();
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        }
        session->desktop = css::frame::Desktop::create(session->context);
        // From now on the profile belongs to a running office; before, a
        // sweep by another program must not take it for an ended one.
        session->process.record();
    } catch (...) {
        // Anything from the bridge or the bootstrap: no office for this command.
        session->end(kNoGrace);
        return nullptr;
    }
    return session;
}

}  // namespace office_detail

// ---------------------------------------------------------------------------
// SpreadsheetApp: start and release

using office_detail::Session;

SpreadsheetApp::SpreadsheetApp(std::shared_ptr<Session> s) : session_(std::move(s)) {}

std::unique_ptr<SpreadsheetApp> SpreadsheetApp::create(OfficeUse use)
{
    try {
        auto s = office_detail::StartSession(use);
        if (!s)
            return nullptr;
        return std::unique_ptr<SpreadsheetApp>(new SpreadsheetApp(std::move(s)));
    } catch (...) {
        return nullptr;
    }
}

SpreadsheetApp::~SpreadsheetApp()
{
    if (!session_)
        return;
    if (session_->use == OfficeUse::Report && session_->leaveOpen && session_->process.pid() > 0) {
        // The office belongs to the user now; its profile is removed by a
        // later start once the office has ended.
        session_->detach();
        return;
    }
    session_->end();
}

OfficeUse SpreadsheetApp::use() const noexcept
{
    return session_->use;
}

int SpreadsheetApp::processId() const noexcept
{
    return session_->process.pid();
}

bool SpreadsheetApp::canShow() const noexcept
{
    return session_->canShow;
}

bool SpreadsheetApp::responds(std::chrono::milliseconds timeout) noexcept
{
    Session& s = *session_;
    if (s.process.pid() <= 0 || !s.process.alive() || !s.desktop.is())
        return false;
    if (timeout.count() <= 0)
        return true;
    // The call waits on its own thread, so that an office that never answers
    // can be given up on.
    try {
        auto answer = std::make_shared<std::promise<bool>>();
        std::future<bool> answered = answer->get_future();
        std::thread probe([desktop = s.desktop, answer] {
            try {
                desktop->getCurrentComponent();
                answer->set_value(true);
            } catch (...) {
                answer->set_value(false);
            }
        });
        const bool ok = answered.wait_for(timeout) == std::future_status::ready && answered.get();
        if (!ok) {
            // Killed, the office closes its end of the pipe, and the call
            // still waiting comes back with an error.
            s.process.end(std::chrono::milliseconds(0));
        }
        probe.join();
        return ok;
    } catch (...) {
        // No thread to wait on: the office cannot be vouched for.
        return false;
    }
}

void SpreadsheetApp::setSheetsInNewWorkbook(int n)
{
    session_->sheetsInNew = std::clamp(n, 1, 10000);
}

int SpreadsheetApp::sheetsInNewWorkbook() const noexcept
{
    return session_->sheetsInNew;
}

bool SpreadsheetApp::leaveOpenForUser()
{
    if (session_->use != OfficeUse::Report || !session_->canShow)
        return false;
    session_->leaveOpen = true;
    return true;
}

void SpreadsheetApp::quit()
{
    session_->leaveOpen = false;
    session_->end();
}

}  // namespace trevolo
