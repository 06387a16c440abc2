#pragma once

#include <QString>

// The texts of both programs in the user's language: the tool's own catalogue from
// <data folder>/translations (/usr/share/vorlan-update/translations; VORLAN_UPDATE_DATADIR moves
// the data folder) and Qt's own, for the buttons and messages that Qt writes.
class Translations
{
public:
    static QString folder();
    // Installs both catalogues for QLocale::system() on the running application. Without a
    // catalogue for that language the texts stay as written, in English; without a locale
    // (LANG=C) numbers are also written as before, without group separators.
    static void install();
};
