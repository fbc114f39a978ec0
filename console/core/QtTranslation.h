#pragma once

// The console speaks Japanese in Qt's own texts too (Yes/No, OK/Cancel, the file dialogs): Qt's
// Japanese translation is loaded at start. False when the translation is not installed (the
// standard texts then stay English; nothing else changes).
bool InstallQtTranslation();
