#include "comm/operate_character.h"

#include <iconv.h>
#include <langinfo.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

#include "store/value_format.h"

namespace pontiq {

namespace {

constexpr const char* kUtf8 = "UTF-8";
constexpr const char* kUtf16 = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

// What the source bytes are, so that a failed character can be skipped whole.
enum class SourceKind { Utf8, Utf16, Other };

std::string NormalizedName(std::string_view name)
{
    std::string out;
    for (char c : name) {
        if (c == '-' || c == '_') continue;
        out.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
    }
    return out;
}

bool IsUtf8Name(std::string_view name)
{
    return NormalizedName(name) == "UTF8";
}

class IconvHandle {
public:
    IconvHandle(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~IconvHandle()
    {
        if (ok()) iconv_close(cd_);
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;

    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

// Length of the valid UTF-8 sequence at p (overlong forms, surrogates and code points above
// U+10FFFF are invalid), 0 when there is none.
size_t ValidUtf8Sequence(const unsigned char* p, size_t n)
{
    const unsigned char c = p[0];
    if (c < 0x80) return 1;
    size_t len = 0;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (n < len || p[1] < lo || p[1] > hi) return 0;
    for (size_t i = 2; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0;
    }
    return len;
}

// Bytes to step over at a character iconv refused: the whole character when the source is
// a UTF and the character is well formed (the target cannot hold it), else one byte or unit.
size_t SkipLength(SourceKind kind, const char* in, size_t left)
{
    const auto* p = reinterpret_cast<const unsigned char*>(in);
    switch (kind) {
        case SourceKind::Utf8: {
            const size_t n = ValidUtf8Sequence(p, left);
            return n == 0 ? 1 : n;
        }
        case SourceKind::Utf16: {
            if (left < 2) return left;
            char16_t unit = 0, next = 0;
            std::memcpy(&unit, p, 2);
            if (unit >= 0xD800 && unit <= 0xDBFF && left >= 4) {
                std::memcpy(&next, p + 2, 2);
                if (next >= 0xDC00 && next <= 0xDFFF) return 4;
            }
            return 2;
        }
        case SourceKind::Other:
            break;
    }
    return 1;
}

// The conversion core: never fails, never loops; see the class comment for the substitution.
std::string Convert(const char* to, const char* from, SourceKind kind, std::string_view in)
{
    if (in.empty()) return {};
    IconvHandle cd(to, from);
    if (!cd.ok()) return std::string(in);  // only reachable for a bad target name: keep the bytes

    std::string out(in.size() * 2 + 16, '\0');
    char* outp = out.data();
    size_t outLeft = out.size();
    auto grow = [&](size_t atLeast) {
        const size_t used = static_cast<size_t>(outp - out.data());
        out.resize(std::max(out.size() * 2, used + atLeast));
        outp = out.data() + used;
        outLeft = out.size() - used;
    };

    // The '?' in the target encoding, made by the same converter.
    std::string substitute;
    {
        const char16_t q16 = u'?';
        char q[2];
        size_t qLen = 1;
        if (kind == SourceKind::Utf16) {
            std::memcpy(q, &q16, 2);
            qLen = 2;
        } else {
            q[0] = '?';
        }
        char buf[16];
        char* qIn = q;
        char* qOut = buf;
        size_t qOutLeft = sizeof(buf);
        if (iconv(cd.get(), &qIn, &qLen, &qOut, &qOutLeft) != static_cast<size_t>(-1)) {
            substitute.assign(buf, static_cast<size_t>(qOut - buf));
        }
        iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
    }

    // iconv takes a non-const input pointer but does not write through it.
    char* inp = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    while (inLeft > 0) {
        if (iconv(cd.get(), &inp, &inLeft, &outp, &outLeft) != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) {
            grow(16);
            continue;
        }
        if (errno != EILSEQ && errno != EINVAL) break;
        if (outLeft < substitute.size()) grow(substitute.size());
        std::memcpy(outp, substitute.data(), substitute.size());
        outp += substitute.size();
        outLeft -= substitute.size();
        const size_t skip = std::min(SkipLength(kind, inp, inLeft), inLeft);
        inp += skip;
        inLeft -= skip;
    }
    // Close any shift state of the target.
    while (iconv(cd.get(), nullptr, nullptr, &outp, &outLeft) == static_cast<size_t>(-1) && errno == E2BIG) {
        grow(16);
    }
    out.resize(static_cast<size_t>(outp - out.data()));
    return out;
}

bool IsAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

std::string COperateCharacter::LocalEncodingName()
{
    const char* codeset = nl_langinfo(CODESET);
    if (codeset == nullptr || *codeset == '\0') return kUtf8;
    const std::string name = NormalizedName(codeset);
    if (name == "ANSIX3.41968" || name == "ASCII" || name == "USASCII") return kUtf8;
    return codeset;
}

COperateCharacter::COperateCharacter(std::string localEncoding) : local_(std::move(localEncoding))
{
    if (local_.empty()) local_ = LocalEncodingName();
    const IconvHandle toUtf8(kUtf8, local_.c_str());
    const IconvHandle fromUtf8(local_.c_str(), kUtf8);
    if (!toUtf8.ok() || !fromUtf8.ok()) local_ = kUtf8;
    localIsUtf8_ = IsUtf8Name(local_);
}

std::string COperateCharacter::LocalToUtf8(std::string_view local) const
{
    if (localIsUtf8_) return std::string(local);
    return Convert(kUtf8, local_.c_str(), SourceKind::Other, local);
}

std::string COperateCharacter::Utf8ToLocal(std::string_view utf8) const
{
    if (localIsUtf8_) return std::string(utf8);
    return Convert(local_.c_str(), kUtf8, SourceKind::Utf8, utf8);
}

std::u16string COperateCharacter::LocalToUtf16(std::string_view local) const
{
    const std::string bytes =
        Convert(kUtf16, local_.c_str(), localIsUtf8_ ? SourceKind::Utf8 : SourceKind::Other, local);
    std::u16string text(bytes.size() / 2, u'\0');
    std::memcpy(text.data(), bytes.data(), text.size() * 2);
    return text;
}

std::string COperateCharacter::Utf16ToLocal(std::u16string_view text) const
{
    const std::string_view bytes(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    return Convert(local_.c_str(), kUtf16, SourceKind::Utf16, bytes);
}

size_t COperateCharacter::CompleteUtf8Length(std::string_view utf8)
{
    const size_t n = utf8.size();
    size_t lead = n;
    size_t continuations = 0;
    while (lead > 0 && continuations < 3 && (static_cast<unsigned char>(utf8[lead - 1]) & 0xC0) == 0x80) {
        --lead;
        ++continuations;
    }
    if (lead == 0) return n;  // only continuation bytes: nothing to cut at
    const auto c = static_cast<unsigned char>(utf8[lead - 1]);
    size_t need = 0;
    if (c >= 0xC0 && c <= 0xDF) {
        need = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        need = 3;
    } else if (c >= 0xF0 && c <= 0xF7) {
        need = 4;
    }
    return need > continuations + 1 ? lead - 1 : n;
}

std::string COperateCharacter::DeviceTextToLocal(std::string_view field, uint8_t length) const
{
    const std::string_view text = field.substr(0, std::min<size_t>(length, field.size()));
    if (IsAscii(text)) return std::string(text);
    // Devices cut names at a byte count, possibly inside a character. Unlike a check that
    // knows only three- and four-byte lead bytes, this keeps every complete character,
    // two-byte sequences included, and drops only the cut-off one.
    return Utf8ToLocal(text.substr(0, CompleteUtf8Length(text)));
}

std::string COperateCharacter::OutgoingText(std::string_view local) const
{
    if (IsAscii(local)) return std::string(local);
    const std::u16string text = LocalToUtf16(local);
    const bool chinese = std::any_of(text.begin(), text.end(), IsWideChinese);
    return chinese ? LocalToUtf8(local) : std::string(local);
}

}  // namespace pontiq
