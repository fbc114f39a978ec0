#pragma once

// Loads a gate device library by name (libtcpcom.so with the "tcp_" entry points, libhostcom.so
// with "serial_") and resolves every entry point, as the services do at start-up. A missing
// library or entry point is reported by name so that the service can say what is missing.

#include "DeviceLib.h"
#include "gatelib.h"

#include <QString>
#include <QStringList>

namespace orvel {

struct GateLibFunctions
{
    GATELIB_SetIdStringFormat_FN SetIdStringFormat = nullptr;
    GATELIB_ConnectDevice_FN ConnectDevice = nullptr;
    GATELIB_PollDevice_FN PollDevice = nullptr;
    GATELIB_DisConnectDevice_FN DisConnectDevice = nullptr;
    GATELIB_ConfigureEEPROMSetting_FN ConfigureEEPROMSetting = nullptr;
    GATELIB_SetDeviceTime_FN SetDeviceTime = nullptr;
    GATELIB_ReadDeviceProperties_FN ReadDeviceProperties = nullptr;
    GATELIB_SetDeviceProperties_FN SetDeviceProperties = nullptr;
    GATELIB_SetUploadLogRecordStartDate_FN SetUploadLogRecordStartDate = nullptr;
    GATELIB_UploadUserProfileLogRecord_FN UploadUserProfileLogRecord = nullptr;
    GATELIB_QueryRecordsSummary_FN QueryRecordsSummary = nullptr;
    GATELIB_GetProfileIdByIndex_FN GetUserProfileIdByIndex = nullptr;
    GATELIB_GetProfileIdByIndex_FN GetMasterProfileIdByIndex = nullptr;
    GATELIB_QueryUserProfileExistence_FN QueryUserProfileExistence = nullptr;
    GATELIB_DeleteWholeUserProfileRecord_FN DeleteWholeUserProfileRecord = nullptr;
    GATELIB_DownloadUserProfileCardOnly_FN DownloadUserProfileCardOnly = nullptr;
    GATELIB_DownloadUserProfileFingerprintTemplate_FN DownloadUserProfileFingerprintTemplate = nullptr;
    GATELIB_DeleteAllUnassignUserId_FN DeleteAllUnassignUserId = nullptr;
    // Optional additions, absent from an older library: never required, null when missing.
    // The two acknowledgement calls come as a pair: both are null unless the library has both.
    GATELIB_DropConnection_FN DropConnection = nullptr;
    GATELIB_SetUploadAcknowledgement_FN SetUploadAcknowledgement = nullptr;
    GATELIB_AcknowledgeLogRecords_FN AcknowledgeLogRecords = nullptr;
};

class GateLibLoader
{
public:
    GateLibLoader() = default;
    ~GateLibLoader();
    GateLibLoader(const GateLibLoader &) = delete;
    GateLibLoader &operator=(const GateLibLoader &) = delete;

    // fileName: "libtcpcom.so" or "libhostcom.so", found the way the dynamic loader finds it
    // (the program's own ../lib first); prefix: "tcp_" or "serial_". False when the library or
    // any entry point is missing: MissingLibrary() or MissingEntry() says which. The optional
    // additions are resolved when present and never make it fail.
    bool Load(const QString &fileName, const QString &prefix);
    // The same for a program that calls only some entry points: required names them (without
    // the prefix) in the order they are checked, and MissingEntry() is the first of them that
    // is missing. Other entry points are resolved when present and left null otherwise.
    bool Load(const QString &fileName, const QString &prefix, const QStringList &required);
    const GateLibFunctions &Fn() const { return m_fn; }
    bool IsLoaded() const { return m_lib.IsOpen() && m_missingEntry.isEmpty(); }

    QString MissingLibrary() const { return m_missingLibrary; }
    QString MissingEntry() const { return m_missingEntry; } // e.g. "tcp_PollDevice"
    QString LoadError() const { return m_loadError; }       // the loader's own text

private:
    DeviceLib m_lib;
    GateLibFunctions m_fn;
    QString m_missingLibrary;
    QString m_missingEntry;
    QString m_loadError;
};

} // namespace orvel
