#pragma once
// The connection to the office: the UNO runtime of this program, the bridge
// over the office's pipe, the workbooks reached through it, and the guard
// every call into the office runs in. Only the engine's own files include
// this header; it names the office's types, which office.h keeps out of the
// rest of the program.
#include <chrono>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/bridge/XBridge.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/drawing/XShape.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <com/sun/star/util/XNumberFormats.hpp>
#include <rtl/ustring.hxx>

#include "exchange/office.h"
#include "exchange/office_process.h"

namespace trevolo::office_detail {

namespace css = ::com::sun::star;
using css::uno::Any;
using css::uno::Reference;
using css::uno::Sequence;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

// Texts between this program (UTF-8) and the office.
rtl::OUString U(std::string_view s);
std::string S(const rtl::OUString& u);

// The arguments of a call that takes named properties.
css::beans::PropertyValue Prop(const char* name, const Any& value);
Sequence<css::beans::PropertyValue> Props(std::initializer_list<css::beans::PropertyValue> list);

// Throws OfficeError saying what was being done, with the office's words.
[[noreturn]] void Fail(std::string_view what, const css::uno::Exception& e);

// Runs f, turning the office's exceptions into OfficeError.
template <class F>
auto Call(std::string_view what, F&& f) -> decltype(f())
{
    try {
        return f();
    } catch (const css::lang::DisposedException&) {
        // The pipe to the office broke: the office is gone.
        throw OfficeLost();
    } catch (const css::uno::Exception& e) {
        Fail(what, e);
    }
}

// One workbook open in the office.
struct Book {
    Reference<css::lang::XComponent> doc;
    bool canShow = false;

    bool open() const noexcept { return doc.is(); }
    // Every shape fetched from the workbook's draw pages, held until it is
    // closed. A shape reference let go is released in the office on its own,
    // and a fetch of the same shape racing that release gets a dead copy of
    // it; shapes that are never let go never race.
    mutable std::vector<Reference<css::drawing::XShape>> pinned;
    void pin(const Reference<css::drawing::XShape>& shape) const;
    mutable Reference<css::container::XIndexAccess> sheetsOnce;
    mutable Reference<css::util::XNumberFormats> formatsOnce;
    // Lets go of every reference into the workbook but the workbook's own.
    void forget() noexcept;

    Reference<css::sheet::XSpreadsheetDocument> spreadsheet() const;
    // The workbook's collection of worksheets and its number formats,
    // fetched once: each stays one object for the workbook's life (the
    // worksheets in the collection do not). Every call through the bridge is
    // a round trip to the office, and these two preceded nearly every call.
    Reference<css::container::XIndexAccess> sheets() const;
    Reference<css::util::XNumberFormats> numberFormats() const;
    // The worksheet, from 1. Fetched afresh for every call: a worksheet held
    // across a deletion can report a cut range.
    Reference<css::sheet::XSpreadsheet> sheet(int index) const;
    // Closes without saving and without asking.
    void close() noexcept;
};

// One office and our connection to it.
struct Session {
    OfficeUse use = OfficeUse::Exchange;
    bool canShow = false;
    bool leaveOpen = false;
    int sheetsInNew = 1;
    OfficeProcess process;
    // Our end of the connection to the office; disposing it stops every
    // message to the office at once.
    Reference<css::bridge::XBridge> bridge;
    Reference<css::uno::XComponentContext> context;
    Reference<css::frame::XDesktop2> desktop;
    std::vector<std::weak_ptr<Book>> books;

    // Tracks a workbook the office opened for this session.
    std::shared_ptr<Book> adopt(const Reference<css::lang::XComponent>& doc);
    void disposeBridge() noexcept;
    // Drops every reference into the office without ending it.
    void detach() noexcept;
    // Closes every workbook without saving and ends the office, killing it
    // when it does not end within the grace period.
    void end(std::chrono::milliseconds grace = std::chrono::seconds(10)) noexcept;
};

// Starts an office and connects to it; nothing when it is not installed or
// does not answer within a minute.
std::shared_ptr<Session> StartSession(OfficeUse use);

}  // namespace trevolo::office_detail
