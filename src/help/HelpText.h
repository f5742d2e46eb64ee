#pragma once

#include <QString>
#include <QStringList>

namespace acw {

// The project's own web and e-mail address, named in the help text.
extern const QString kHelpWebAddress;
extern const QString kHelpEmailAddress;

// The 54 pieces of the help text, in order, each exactly as shown (leading and trailing blanks
// included).
QStringList helpPieces();

// The help text of `Text1`, built piece by piece: piece 1, then each further piece after a line
// break (carriage return + line feed); piece 2 alone after two line breaks, so that an empty line
// follows the title. 55 lines in all; the text does not end with a line break.
QString buildHelpText();

// The note beside the schematic (`Label1`), one paragraph that the label word-wraps.
QString schematicNote();

}  // namespace acw
