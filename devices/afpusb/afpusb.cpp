// libafpusb.so: the fingerprint scanner library. The scanner behind it is chosen with
// AFP_SetBackend: "SIM" talks to the scanner simulator fpsim over its Unix-domain socket (no
// simulator running means no scanner attached), "NONE" has no scanner. Images come from the
// scanner; templates are extracted here from the last image, and matching is done here, with the
// matcher the gates use.

#include "Extract.h"
#include "LineClient.h"
#include "Match.h"
#include "Template.h"
#include "fplib.h"

#include <cctype>
#include <cstring>
#include <mutex>
#include <string>

#define AFP_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr unsigned char kDevice = 1;
constexpr int kCommandTimeoutMs = 3000; // beyond the wait itself
constexpr unsigned short kMinMinutiae = 12; // fewer make no template worth storing

struct State {
    std::mutex mutex;
    std::string backend = "SIM";
    std::string socket = "fpsim.sock"; // relative: the caller's current folder (the site folder)
    bool found = false;
    bool haveImage = false;
    unsigned char image[AFP_IMAGE_BYTES] = {};
    bool extracted = false;
    fp::Extraction last;
    std::string error;
};

State &S()
{
    static State s;
    return s;
}

const fp::Extraction &LastExtraction(State &s)
{
    if (!s.extracted) {
        s.last = fp::ExtractMinutiae(s.image);
        s.extracted = true;
    }
    return s.last;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = char(std::tolower(static_cast<unsigned char>(c)));
    return (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
}

bool FromHex(const std::string &hex, unsigned char *out, size_t len)
{
    if (hex.size() != 2 * len)
        return false;
    for (size_t i = 0; i < len; ++i) {
        const int hi = HexValue(hex[2 * i]), lo = HexValue(hex[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out[i] = static_cast<unsigned char>(hi * 16 + lo);
    }
    return true;
}

int CheckBackend(State &s)
{
    if (s.backend == "SIM")
        return AFP_OK;
    if (s.backend == "NONE") {
        s.error = "fingerprint scanner disabled (back end NONE)";
        return AFP_E_DISABLED;
    }
    s.error = "unknown fingerprint scanner back end: " + s.backend;
    return AFP_E_BACKEND;
}

} // namespace

AFP_EXPORT int AFP_SetBackend(const char *backend, const char *address)
{
    State &s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!backend)
        return AFP_E_ARGUMENT;
    std::string b = backend;
    for (char &c : b)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    s.backend = b.empty() ? "SIM" : b;
    if (address && *address)
        s.socket = address;
    s.found = false;
    return CheckBackend(s);
}

AFP_EXPORT const char *AFP_LastError(void)
{
    return S().error.c_str();
}

AFP_EXPORT int AFP_ScannforDevice(unsigned char mode, unsigned char *device)
{
    State &s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    (void)mode; // 1: search the USB bus; the only mode there is
    if (!device)
        return AFP_E_ARGUMENT;
    s.found = false;
    if (const int rc = CheckBackend(s))
        return rc;
    const devsim::LineReply a = devsim::LineCall(s.socket, "scan", kCommandTimeoutMs);
    if (a.result != devsim::LineReply::Ok || a.lines.empty() || a.lines[0].rfind("device ", 0) != 0) {
        s.error = a.error.empty() ? "no scanner" : a.error;
        return AFP_E_NO_SCANNER;
    }
    s.found = true;
    *device = kDevice;
    return AFP_OK;
}

AFP_EXPORT int AFP_GetImageWait(unsigned char device, unsigned char *image, int wait)
{
    State &s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!image || device != kDevice || !s.found) {
        s.error = "no scanner was found for this device number";
        return 0;
    }
    const int waitMs = wait > 0 ? wait * AFP_WAIT_UNIT_MS : 0;
    const devsim::LineReply a = devsim::LineCall(s.socket, "image 1 " + std::to_string(waitMs), waitMs + kCommandTimeoutMs);
    if (a.result != devsim::LineReply::Ok || a.lines.empty()) {
        s.error = a.error.empty() ? "no answer from the scanner" : a.error;
        return 0;
    }
    const std::string &l = a.lines[0];
    if (l.rfind("image ", 0) != 0)
        return 0; // "none": no finger within the wait
    unsigned char buf[AFP_IMAGE_BYTES];
    if (!FromHex(l.substr(6), buf, AFP_IMAGE_BYTES)) {
        s.error = "damaged image from the scanner";
        return 0;
    }
    std::memcpy(s.image, buf, AFP_IMAGE_BYTES);
    std::memcpy(image, buf, AFP_IMAGE_BYTES);
    s.haveImage = true;
    s.extracted = false;
    return 1;
}

AFP_EXPORT int AFP_CreateTemplate(unsigned char device, unsigned char *tpl, unsigned short *success)
{
    State &s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!tpl || !success || device != kDevice)
        return AFP_E_ARGUMENT;
    *success = 0;
    if (!s.haveImage) {
        s.error = "no image to make a template from";
        return AFP_E_NO_IMAGE;
    }
    const fp::Extraction &ex = LastExtraction(s);
    if (ex.minutiae.size() < kMinMinutiae) {
        s.error = "too few minutiae in the image (" + std::to_string(ex.minutiae.size()) + ")";
        return AFP_OK;
    }
    fp::EncodeTemplate(ex.minutiae, ex.quality, tpl);
    *success = 1;
    return AFP_OK;
}

AFP_EXPORT int AFP_VerifyMatch(unsigned char device, const unsigned char *tpl, unsigned short *match)
{
    State &s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!tpl || !match || device != kDevice)
        return AFP_E_ARGUMENT;
    *match = 0;
    if (!s.haveImage) {
        s.error = "no image to verify";
        return AFP_E_NO_IMAGE;
    }
    fp::Minutiae stored;
    if (!fp::DecodeTemplate(tpl, &stored))
        return AFP_OK; // not a template (an empty or damaged record): no match
    *match = fp::MatchMinutiae(stored, LastExtraction(s).minutiae).match ? 1 : 0;
    return AFP_OK;
}
