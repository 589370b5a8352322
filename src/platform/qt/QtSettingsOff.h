#pragma once

// While an object of this class lives, Qt's own per-user settings (QtProject.conf, where
// Qt's file dialog keeps its history, last folder and view) are neither read nor written:
// the program keeps no configuration file. Make one around the whole life of such a
// dialog; Qt writes from the dialog's destructor. Not meant to be nested.
class QtSettingsOff {
public:
    QtSettingsOff();
    ~QtSettingsOff();
    QtSettingsOff(const QtSettingsOff&) = delete;
    QtSettingsOff& operator=(const QtSettingsOff&) = delete;
};
