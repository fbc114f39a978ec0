#pragma once

// Opens a device library by file name (libtcpcom.so, libafpusb.so ...) the way every program
// looks for them: in ../lib beside the program, in the program's folder, then wherever the
// dynamic loader searches. Entry points are looked up by name; the caller says what is missing.

#include <QString>

namespace orvel {

class DeviceLib
{
public:
    DeviceLib() = default;
    ~DeviceLib();
    DeviceLib(const DeviceLib &) = delete;
    DeviceLib &operator=(const DeviceLib &) = delete;

    // False when the library cannot be loaded; LoadError() gives the loader's own text.
    bool Open(const QString &fileName);
    bool IsOpen() const { return m_handle != nullptr; }
    // The entry point, or nullptr when the library has none of that name.
    void *Symbol(const char *name) const;
    QString LoadError() const { return m_loadError; }

private:
    void *m_handle = nullptr;
    QString m_loadError;
};

} // namespace orvel
