#pragma once

// Names and codes that every program of the system shares: the database's tables and value
// codes, the service control and user request codes, identifier widths and the data source.

#include <QString>

namespace orvel {

// ---- Editions -------------------------------------------------------------------------------
enum Edition : int { EditionFelica = 1, EditionMifare = 2 };

// ---- Data source ------------------------------------------------------------------------------
inline constexpr const char *kDsn = "telmar_mdb";
inline constexpr const char *kDbUser = "vrn_operator";
inline constexpr const char *kDbPassword = "curator63918zzz";
inline constexpr const char *kDbFileName = "telmar.db";

// ---- Identifier widths -----------------------------------------------------------------------
inline constexpr int kEmpIdWidth = 5;
inline constexpr int kUserIdWidth = 10;
inline constexpr int kGateIdWidth = 5;
inline constexpr const char *kNoEmpId = "00000"; // built-in department of users without one
inline constexpr const char *kNoEmpName = "無所属";

// Gate user ID of a user without a card: 22 "0" + user_id (FeliCa, 32 characters) or
// 9 "9" + user_id (Mifare, 19 characters).
inline constexpr const char *kFelicaPlaceholderPrefix = "0000000000000000000000";
inline constexpr const char *kMifarePlaceholderPrefix = "999999999";
inline constexpr int kFelicaGuserIdWidth = 32;
inline constexpr int kMifareGuserIdWidth = 19;
// Mifare log records at or above this gate user ID belong to users without a card.
inline constexpr const char *kMifarePlaceholderFloor = "9999999990000000000";

QString PlaceholderGuserId(int edition, const QString &userId);
bool IsPlaceholderGuserId(int edition, const QString &guserId);
// Left-pads a decimal ID with "0" to its width (an ID already that long is returned unchanged).
QString PadId(const QString &id, int width);

// ---- Tables ------------------------------------------------------------------------------------
namespace tbl {
inline constexpr const char *m_emp = "m_emp";
inline constexpr const char *m_user = "m_user";
inline constexpr const char *m_gate = "m_gate";
inline constexpr const char *m_gauthority = "m_gauthority";
inline constexpr const char *m_gauth_type = "m_gauth_type";
inline constexpr const char *m_sync_flag = "m_sync_flag";
inline constexpr const char *m_glog_define = "m_glog_define";
inline constexpr const char *t_gate_permit = "t_gate_permit";
inline constexpr const char *l_fptpl = "l_fptpl";
inline constexpr const char *lock_gate = "lock_gate";
inline constexpr const char *t_srv_ctrl = "t_srv_ctrl";
inline constexpr const char *t_userreq = "t_userreq";
inline constexpr const char *set_mainte = "set_mainte";
inline constexpr const char *t_autolog_info = "t_autolog_info";
inline constexpr const char *log_telmar = "log_telmar";
inline constexpr const char *log_telmar_plus = "log_telmar_plus";
inline constexpr const char *log_telmar_raw = "log_telmar_raw";
// The collector's own: per gate and log epoch, the highest sequence number stored.
inline constexpr const char *log_gate_seq = "log_gate_seq";
} // namespace tbl

// Schema prefixes the console writes before table names; the access component drops them.
inline constexpr const char *kSchemaV1 = "telmar_v1.";
inline constexpr const char *kSchemaVb = "telmar_vb.";

// ---- Value codes -------------------------------------------------------------------------------
namespace gauthority {
inline constexpr int User = 1;
inline constexpr int Admin = 2;
} // namespace gauthority

namespace gauth_type {
inline constexpr int None = 0;
inline constexpr int Fingerprint = 1;
inline constexpr int Card = 2;
inline constexpr int Both = 3;
} // namespace gauth_type

namespace use_flag {
inline constexpr int NotInUse = 0;
inline constexpr int InUse = 1;
} // namespace use_flag

namespace gate_mode {
inline constexpr int Entry = 1;
inline constexpr int Exit = 2;
inline constexpr const char *EntryWord = "入室";
inline constexpr const char *ExitWord = "退室";
} // namespace gate_mode

namespace sync_flag {
inline constexpr int InStep = 0;
inline constexpr int ToWrite = 1;
inline constexpr int ToRewrite = 2;
inline constexpr int ToDelete = 3;
} // namespace sync_flag

namespace edit_flag {
inline constexpr int Complete = 0;
inline constexpr int Writing = 1;
} // namespace edit_flag

// Bits of log_telmar.write_ok_flag.
namespace write_ok {
inline constexpr int RawCopied = 1;
inline constexpr int PlusWritten = 2;
inline constexpr int FileWritten = 4;
inline constexpr int Done = 7;
} // namespace write_ok

// ---- Service control (t_srv_ctrl) -------------------------------------------------------------
namespace srv {
inline constexpr int Harvester = 1; // server_id of the log collector
inline constexpr int Courier = 2;   // server_id of the provisioning service

inline constexpr int ReqNone = 0;
inline constexpr int HarvesterCollectNow = 125;
inline constexpr int HarvesterStatus = 198;
inline constexpr int HarvesterStop = 199;
inline constexpr int CourierStatus = 298;
inline constexpr int CourierStop = 299;

inline constexpr int ResultPending = 0;
inline constexpr int ResultRunning = 1;
inline constexpr int ResultGateError = 2;
inline constexpr int ResultDbError = 3;      // provisioning service only
inline constexpr int ResultUpdateError = 4;  // provisioning service only

inline constexpr const char *TextRunning = "稼動中";
inline constexpr const char *TextEnded = "終了";
inline constexpr const char *TextRestart = "復旧の為、強制的に再起動します。";
} // namespace srv

// ---- User requests (t_userreq) -------------------------------------------------------------------
namespace userreq {
inline constexpr int RowId = 1;
inline constexpr int WriteUser = 201;
inline constexpr int DeleteUser = 202;
inline constexpr int CleanGate = 217;

inline constexpr int ResultPending = 0;
inline constexpr int ResultDone = 1;
inline constexpr int ResultFailed = 2;

// detail codes
inline constexpr int DetailOk = 0;
inline constexpr int DetailConnectFailed = 20100;
inline constexpr int DetailPollFailed = 20101;
inline constexpr int DetailUserNotOnGate = 20102;
inline constexpr int DetailUserListFailed = 20104;
inline constexpr int DetailUserExists = 20105;
inline constexpr int DetailGeneralFailure = 1;
} // namespace userreq

// ---- Gate status values that the protocol carries -------------------------------------------------
namespace gatestatus {
inline constexpr int Ok = 0;
inline constexpr int UploadNoMore = 3725;
inline constexpr int UploadNothing1 = 3726;
inline constexpr int UploadNothing2 = 3727;
inline constexpr int Retry1 = 3269;
inline constexpr int Retry2 = 3278;
inline constexpr int UserStoreFull = 3293;
inline constexpr int Retry3 = 3294;
inline constexpr int AdminStoreFull = 3295;
} // namespace gatestatus

// ---- Error-log codes ---------------------------------------------------------------------------------
namespace errcode {
inline constexpr int StartupGateError = 9000;
inline constexpr int HarvesterGateError = 9001;
inline constexpr int HarvesterState = 9002;
inline constexpr int CourierGateError = 9101;
inline constexpr int CourierError = 9110;
inline constexpr int LockDataInvalid = 9999;
} // namespace errcode

// ---- Orvel.ini -------------------------------------------------------------------------------------
namespace ini {
inline constexpr const char *FileName = "Orvel.ini";
inline constexpr const char *SecFile = "FILE";
inline constexpr const char *KeyGateLock = "F_GATELOCK";
inline constexpr const char *KeyTemplate = "F_TEMPLATE";
inline constexpr const char *SecInterval = "INTERVAL";
inline constexpr const char *KeyWaitSec = "WAIT_SEC";
inline constexpr const char *KeyLogWaitInterval = "LOG_WAIT_INTERVAL";
inline constexpr const char *SecIcon = "ICON SECTION";
inline constexpr const char *KeyTrayIcon = "DISP_ICON_IN_SYSTEM_TRAY";
inline constexpr const char *SecLog = "LOG SECTION";
inline constexpr const char *KeyStartYear = "START_YEAR";
inline constexpr const char *KeyStartMonth = "START_MONTH";
inline constexpr const char *KeyStartDay = "START_DAY";
// The IC card reader: PC/SC or the simulated reader, and the simulated reader's socket.
inline constexpr const char *SecCardReader = "CARD READER";
inline constexpr const char *KeyReaderBackend = "READER_BACKEND";
inline constexpr const char *KeySimSocket = "SIM_SOCKET";
// The edition the site was made for (orvelctl init-site); orvelctl's imports read it.
inline constexpr const char *SecSite = "SITE";
inline constexpr const char *KeyEdition = "EDITION";
// Whether this PC runs the services (1) or is one more console of a site shared by several PCs
// (0: it shows the services' state but never starts, stops, restarts or compacts). Missing: 1.
inline constexpr const char *KeyServices = "SERVICES";

inline constexpr const char *DefaultGateLock = "GateLock.dat";
inline constexpr const char *DefaultTemplate = "template.dat";
inline constexpr int DefaultWaitSec = 1000;
inline constexpr int DefaultLogWaitInterval = 5;
inline constexpr const char *DefaultTrayIcon = "NO_DISP";
inline constexpr const char *DefaultReaderBackend = "AUTO";
inline constexpr const char *DefaultSimSocket = "cardreader.sock";

// The fingerprint scanner: which back end the scanner library uses ("SIM" the scanner simulator,
// "NONE" no scanner) and the simulator's socket (a name without a folder is in the site folder).
inline constexpr const char *SecFingerprint = "FINGERPRINT";
inline constexpr const char *KeyFpScanner = "SCANNER";
inline constexpr const char *KeyFpSimSocket = "SIM_SOCKET";
inline constexpr const char *DefaultFpScanner = "SIM";
inline constexpr const char *DefaultFpSimSocket = "fpsim.sock";
} // namespace ini

// Size of one fingerprint template record in the template file.
inline constexpr int kTemplateBytes = 800;

} // namespace orvel
