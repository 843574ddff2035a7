// Text conversions between the PC's local 8-bit encoding, UTF-8 (device text) and UTF-16
// (window text), and the two wire text rules.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pontiq {

// Stateless apart from the encoding name, so one object may be used from any number of
// threads at once: every conversion opens its own iconv handle.
//
// Nothing here fails. A byte that does not begin a complete, valid character of the source
// encoding becomes one '?', and so does each character the target encoding cannot hold.
class COperateCharacter final {
public:
    // The encoding of the running process's locale (setlocale(LC_ALL, "") must have run).
    // The plain ASCII codeset of the C/POSIX locale is reported as "UTF-8": ASCII text is
    // the same in both, and UTF-8 keeps device names that ASCII would turn into '?'.
    static std::string LocalEncodingName();

    // An encoding iconv does not know is replaced by UTF-8 (conversions become copies).
    explicit COperateCharacter(std::string localEncoding = LocalEncodingName());

    const std::string& LocalEncoding() const { return local_; }
    bool IsLocalUtf8() const { return localIsUtf8_; }

    // On a UTF-8 local encoding the local <-> UTF-8 conversions are plain copies.
    std::string LocalToUtf8(std::string_view local) const;
    std::string Utf8ToLocal(std::string_view utf8) const;
    std::u16string LocalToUtf16(std::string_view local) const;
    std::string Utf16ToLocal(std::u16string_view text) const;

    // Text received from a device: `field` is the whole fixed field, `length` its length
    // byte (clamped to the field width). Pure ASCII is copied; otherwise an incomplete UTF-8
    // sequence at the end (the device cuts names at a byte count) is dropped and the rest
    // converted to local text. The caller stores the result cut to its field width.
    std::string DeviceTextToLocal(std::string_view field, uint8_t length) const;

    // Name or SSID to send: the UTF-8 form when the text holds a Chinese character
    // (IsWideChinese), otherwise the local bytes unchanged, even bytes of 0x80 and above.
    std::string OutgoingText(std::string_view local) const;

    // Length of `utf8` without an incomplete multi-byte sequence at its end. Every complete
    // character is kept, two-byte sequences included; stray continuation bytes are not a
    // cut-off tail and stay (the conversion turns them into '?').
    static size_t CompleteUtf8Length(std::string_view utf8);

private:
    std::string local_;
    bool localIsUtf8_ = false;
};

}  // namespace pontiq
