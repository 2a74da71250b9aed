#pragma once

#include <QString>
#include <QStringList>

namespace zephra::viewer {

// Splits "comma text", the list format the phone uses for picture names and sizes
// (`"/DCIM/a, b.jpg","/DCIM/c.jpg"`, `123,456`):
// - Entries are separated by a comma. Outside quotes every character with code <= 32 (space,
//   tab, line breaks, NUL and the other control characters) also separates entries, and runs of
//   such characters around a comma count as part of that one separator.
// - An entry that starts with `"` runs to the next lone `"`; inside it commas and spaces are
//   text and `""` stands for one `"`. A missing closing quote takes the rest of the text.
//   Characters straight after the closing quote start the next entry (`"a"b` gives a, b).
// - A `"` inside an unquoted entry is an ordinary character.
// - A comma with nothing but separators before the next comma or the end gives an empty entry
//   (`a,,b` gives a, "", b; `a,` and `a, ` give a, ""); a leading comma gives a leading empty
//   entry. Separators at the start and end are dropped, so empty or blank text gives no entries.
// Only the codes above count as separators; wider spaces such as U+3000 are text.
QStringList SplitCommaText(const QString& text);

}  // namespace zephra::viewer
