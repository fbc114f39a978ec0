#pragma once

// The fingerprint scanner library (libafpusb.so) and the image library (libFpImage.so), loaded
// by name on first use and configured with the scanner back end of Orvel.ini. One instance per
// process. Widget-free: images are drawn into a QImage that a window then shows.

#include "fplib.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace orvel {
class DeviceLib;
}

class FpLibrary
{
public:
    static FpLibrary &Instance();

    // Loads both libraries and resolves their entry points (once; a failed load is tried again
    // on the next call). False with Missing() naming the library or entry point.
    bool Load();
    // "ライブラリを読み込めません：libafpusb.so" or "エントリポイントがありません：AFP_VerifyMatch".
    QString Missing() const { return m_missing; }

    int ScannforDevice(unsigned char mode, unsigned char *device);
    // image: resized to AFP_IMAGE_BYTES.
    bool GetImageWait(unsigned char device, QByteArray *image, int wait);
    // tpl: resized to AFP_TEMPLATE_BYTES; true when a template was made.
    bool CreateTemplate(unsigned char device, QByteArray *tpl);
    // A template of another size never matches.
    bool VerifyMatch(unsigned char device, const QByteArray &tpl);
    // The image drawn by the image library into a box of the given size (white when empty).
    QImage Draw(const QByteArray &image, const QSize &box);
    // Re-reads the scanner back end from Orvel.ini (the next Load applies it).
    void Reconfigure() { m_configured = false; }
    // The file names loaded (tests point them elsewhere); empty: libafpusb.so, libFpImage.so.
    // Libraries already loaded are unloaded.
    void SetLibraryNames(const QString &scanner, const QString &image);

private:
    FpLibrary();
    ~FpLibrary();
    bool Resolve(orvel::DeviceLib &lib, const char *name, void **slot);

    orvel::DeviceLib *m_scanner;
    orvel::DeviceLib *m_image;
    QString m_scannerName;
    QString m_imageName;
    bool m_loaded = false;
    bool m_configured = false;
    QString m_missing;
    AFP_ScannforDevice_FN m_scan = nullptr;
    AFP_GetImageWait_FN m_getImage = nullptr;
    AFP_CreateTemplate_FN m_create = nullptr;
    AFP_VerifyMatch_FN m_verify = nullptr;
    AFP_SetBackend_FN m_setBackend = nullptr; // optional
    ShowFpBitmapX_FN m_show = nullptr;
};
