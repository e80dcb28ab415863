#include "store/checkpoint.h"

#include <openssl/evp.h>
#include <openssl/pem.h>

#include <cstdio>
#include <memory>
#include <sstream>

namespace trevolo {

namespace {

constexpr size_t kKeyBytes = 32;
constexpr size_t kSignatureBytes = 64;

struct PkeyFree {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct CtxFree {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};
struct FileClose {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using Pkey = std::unique_ptr<EVP_PKEY, PkeyFree>;
using Ctx = std::unique_ptr<EVP_MD_CTX, CtxFree>;
using File = std::unique_ptr<std::FILE, FileClose>;

std::string Hex(const unsigned char* bytes, size_t n)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string s;
    s.reserve(n * 2);
    for (size_t i = 0; i < n; ++i) {
        s += kDigits[bytes[i] >> 4];
        s += kDigits[bytes[i] & 15];
    }
    return s;
}

bool Unhex(const std::string& hex, std::vector<unsigned char>& out)
{
    out.clear();
    if (hex.size() % 2)
        return false;
    auto digit = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    };
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int hi = digit(hex[i]), lo = digit(hex[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out.push_back(static_cast<unsigned char>(hi * 16 + lo));
    }
    return true;
}

std::string RawPublicKey(EVP_PKEY* key)
{
    unsigned char raw[kKeyBytes];
    size_t n = sizeof raw;
    if (EVP_PKEY_get_base_id(key) != EVP_PKEY_ED25519 || EVP_PKEY_get_raw_public_key(key, raw, &n) != 1 ||
        n != kKeyBytes)
        return {};
    return Hex(raw, n);
}

}  // namespace

std::string CheckpointMessage(const Checkpoint& c)
{
    return "trevolo-checkpoint 1 rows=" + std::to_string(c.auditRows) + " seq=" + std::to_string(c.head.auditSeq) +
           " head=" + c.head.chainHash + " at=" + std::to_string(c.madeAt);
}

std::string CheckpointText(const Checkpoint& c)
{
    return CheckpointMessage(c) + " key=" + c.publicKey + " sig=" + c.signature;
}

bool ParseCheckpoints(const std::string& text, std::vector<Checkpoint>& out, std::string& error)
{
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind("trevolo-checkpoint", 0) != 0)
            continue;
        std::istringstream words(line);
        std::string word;
        Checkpoint c;
        int fields = 0;
        words >> word >> word;
        bool ok = word == "1";
        while (ok && words >> word) {
            const size_t eq = word.find('=');
            if (eq == std::string::npos) {
                ok = false;
                break;
            }
            const std::string name = word.substr(0, eq), value = word.substr(eq + 1);
            try {
                if (name == "rows")
                    c.auditRows = std::stoll(value), ++fields;
                else if (name == "seq")
                    c.head.auditSeq = std::stoll(value), ++fields;
                else if (name == "head")
                    c.head.chainHash = value, ++fields;
                else if (name == "at")
                    c.madeAt = std::stoll(value), ++fields;
                else if (name == "key")
                    c.publicKey = value, ++fields;
                else if (name == "sig")
                    c.signature = value, ++fields;
                else
                    ok = false;
            } catch (const std::exception&) {
                ok = false;
            }
        }
        if (!ok || fields != 6) {
            error = std::to_string(number) + " 行目の検査点が正しくありません。";
            return false;
        }
        out.push_back(std::move(c));
    }
    return true;
}

bool SignCheckpoint(Checkpoint& c, const std::string& keyFile, std::string& error)
{
    File f(std::fopen(keyFile.c_str(), "rb"));
    if (!f) {
        error = keyFile + ": 鍵ファイルを開けません。";
        return false;
    }
    Pkey key(PEM_read_PrivateKey(f.get(), nullptr, nullptr, nullptr));
    if (!key || EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_ED25519) {
        error = keyFile + ": Ed25519 の秘密鍵 (PEM) ではありません。";
        return false;
    }
    c.publicKey = RawPublicKey(key.get());
    const std::string message = CheckpointMessage(c);
    unsigned char sig[kSignatureBytes];
    size_t n = sizeof sig;
    Ctx ctx(EVP_MD_CTX_new());
    if (!ctx || EVP_DigestSignInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) != 1 ||
        EVP_DigestSign(ctx.get(), sig, &n, reinterpret_cast<const unsigned char*>(message.data()), message.size()) !=
            1) {
        error = keyFile + ": 署名できません。";
        return false;
    }
    c.signature = Hex(sig, n);
    return true;
}

bool CheckpointSignedBy(const Checkpoint& c, const std::string& publicKey)
{
    std::vector<unsigned char> raw, sig;
    if (!Unhex(publicKey, raw) || raw.size() != kKeyBytes || !Unhex(c.signature, sig) || sig.size() != kSignatureBytes)
        return false;
    Pkey key(EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, raw.data(), raw.size()));
    Ctx ctx(EVP_MD_CTX_new());
    if (!key || !ctx || EVP_DigestVerifyInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return false;
    const std::string message = CheckpointMessage(c);
    return EVP_DigestVerify(ctx.get(), sig.data(), sig.size(), reinterpret_cast<const unsigned char*>(message.data()),
                            message.size()) == 1;
}

bool ReadPublicKey(const std::string& file, std::string& publicKey, std::string& error)
{
    File f(std::fopen(file.c_str(), "rb"));
    if (!f) {
        error = file + ": 鍵ファイルを開けません。";
        return false;
    }
    Pkey key(PEM_read_PUBKEY(f.get(), nullptr, nullptr, nullptr));
    if (!key) {
        std::rewind(f.get());
        key.reset(PEM_read_PrivateKey(f.get(), nullptr, nullptr, nullptr));
    }
    if (key) {
        publicKey = RawPublicKey(key.get());
    } else {
        // The key in hex, as a checkpoint line shows it.
        std::rewind(f.get());
        char line[256] = {};
        const size_t n = std::fread(line, 1, sizeof line - 1, f.get());
        std::string text(line, n);
        while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
            text.pop_back();
        std::vector<unsigned char> raw;
        publicKey = Unhex(text, raw) && raw.size() == kKeyBytes ? text : std::string();
    }
    if (publicKey.empty()) {
        error = file + ": Ed25519 の公開鍵ではありません。";
        return false;
    }
    return true;
}

}  // namespace trevolo
