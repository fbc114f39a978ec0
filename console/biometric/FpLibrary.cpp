#include "FpLibrary.h"

#include "DeviceLib.h"
#include "FpSettings.h"

#include <QFile>

namespace {
constexpr const char *kScannerLib = "libafpusb.so";
constexpr const char *kImageLib = "libFpImage.so";
} // namespace

FpLibrary &FpLibrary::Instance()
{
    static FpLibrary lib;
    return lib;
}

FpLibrary::FpLibrary() : m_scanner(new orvel::DeviceLib), m_image(new orvel::DeviceLib)
{
    SetLibraryNames(QString(), QString());
}

void FpLibrary::SetLibraryNames(const QString &scanner, const QString &image)
{
    m_scannerName = scanner.isEmpty() ? QString::fromLatin1(kScannerLib) : scanner;
    m_imageName = image.isEmpty() ? QString::fromLatin1(kImageLib) : image;
    delete m_scanner;
    delete m_image;
    m_scanner = new orvel::DeviceLib;
    m_image = new orvel::DeviceLib;
    m_loaded = false;
    m_configured = false;
}

FpLibrary::~FpLibrary()
{
    delete m_scanner;
    delete m_image;
}

bool FpLibrary::Resolve(orvel::DeviceLib &lib, const char *name, void **slot)
{
    *slot = lib.Symbol(name);
    if (!*slot && m_missing.isEmpty())
        m_missing = QStringLiteral("エントリポイントがありません：") + QString::fromLatin1(name);
    return *slot != nullptr;
}

bool FpLibrary::Load()
{
    if (!m_loaded) {
        m_missing.clear();
        for (auto [lib, name] : {std::pair{m_scanner, m_scannerName}, std::pair{m_image, m_imageName}}) {
            if (!lib->IsOpen() && !lib->Open(name)) {
                m_missing = QStringLiteral("ライブラリを読み込めません：") + name;
                return false;
            }
        }
        bool ok = Resolve(*m_scanner, "AFP_ScannforDevice", reinterpret_cast<void **>(&m_scan));
        ok = Resolve(*m_scanner, "AFP_GetImageWait", reinterpret_cast<void **>(&m_getImage)) && ok;
        ok = Resolve(*m_scanner, "AFP_CreateTemplate", reinterpret_cast<void **>(&m_create)) && ok;
        ok = Resolve(*m_scanner, "AFP_VerifyMatch", reinterpret_cast<void **>(&m_verify)) && ok;
        ok = Resolve(*m_image, "ShowFpBitmapX", reinterpret_cast<void **>(&m_show)) && ok;
        if (!ok)
            return false;
        // A scanner library of another maker may have no back end to choose.
        m_setBackend = reinterpret_cast<AFP_SetBackend_FN>(m_scanner->Symbol("AFP_SetBackend"));
        m_loaded = true;
    }
    if (!m_configured && m_setBackend) {
        const orvel::FpScannerSettings s = orvel::ReadFpScannerSettings();
        m_setBackend(s.backend.toLatin1().constData(), QFile::encodeName(s.socketPath).constData());
    }
    m_configured = true;
    return true;
}

int FpLibrary::ScannforDevice(unsigned char mode, unsigned char *device)
{
    return Load() ? m_scan(mode, device) : AFP_E_NO_SCANNER;
}

bool FpLibrary::GetImageWait(unsigned char device, QByteArray *image, int wait)
{
    if (!Load())
        return false;
    image->resize(AFP_IMAGE_BYTES);
    return m_getImage(device, reinterpret_cast<unsigned char *>(image->data()), wait) != 0;
}

bool FpLibrary::CreateTemplate(unsigned char device, QByteArray *tpl)
{
    if (!Load())
        return false;
    tpl->fill('\0', AFP_TEMPLATE_BYTES);
    unsigned short success = 0;
    m_create(device, reinterpret_cast<unsigned char *>(tpl->data()), &success);
    return success != 0;
}

bool FpLibrary::VerifyMatch(unsigned char device, const QByteArray &tpl)
{
    if (!Load() || tpl.size() != AFP_TEMPLATE_BYTES)
        return false;
    unsigned short match = 0;
    m_verify(device, reinterpret_cast<const unsigned char *>(tpl.constData()), &match);
    return match != 0;
}

QImage FpLibrary::Draw(const QByteArray &image, const QSize &box)
{
    QImage out(box, QImage::Format_RGB32);
    out.fill(Qt::white);
    if (image.size() < AFP_IMAGE_WIDTH * AFP_IMAGE_HEIGHT || !Load())
        return out;
    FpImageTarget target{reinterpret_cast<uint32_t *>(out.bits()), out.width(), out.height(), int(out.bytesPerLine())};
    m_show(&target, reinterpret_cast<const unsigned char *>(image.constData()), AFP_IMAGE_WIDTH, AFP_IMAGE_HEIGHT);
    return out;
}
