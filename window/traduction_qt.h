#pragma once

class QFileDialog;

// Puts Qt's own texts (file and colour dialogs, message box buttons, context menus) in French,
// whatever the user's locale, since the whole interface is French: French is the default
// locale (numbers, MIME type descriptions) and Qt's French catalogue is loaded. Needs an
// application object; returns false when Qt's French catalogue is not installed.
bool installerTraductionQt();

// Shows the sizes and dates of a Qt file dialog in French too: its model writes them in the
// session's locale, which may be another.
void colonnesEnFrancais(QFileDialog &dialogue);
