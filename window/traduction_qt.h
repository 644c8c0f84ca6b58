#pragma once

// Puts Qt's own texts (file and colour dialogs, message box buttons, context menus) in French,
// whatever the user's locale, since the whole interface is French. Needs an application
// object; returns false when Qt's French catalogue is not installed.
bool installerTraductionQt();
