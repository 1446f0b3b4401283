#pragma once

#include <QString>
#include <string>

// Small rules of the recovery run, kept apart from the widgets so each can be
// checked on its own.

// The first item of Text split like a command line: items are separated by
// blanks and control characters, and double quotes group an item and are
// removed ('"My Files/a.zip" x' gives 'My Files/a.zip'). Empty when Text holds
// no item.
std::string FirstCommandLineItem(const std::string& Text);

// The archive path typed into the file field: the text unchanged when it names
// an existing file, otherwise its first command-line item.
std::string ArchivePathOf(const std::string& FieldText);

// A progress percentage as a bar position: rounded to the nearest integer with
// halves going to the even neighbour (12.5 gives 12, 13.5 gives 14), kept
// within 0..100; a value that is not a number gives 0.
int ProgressPosition(double Progress);

// A QLocale time format without its time-zone part ("HH:mm:ss t" gives
// "HH:mm:ss"). Quoted literals are kept as they are.
QString TimeFormatWithoutZone(const QString& Format);
