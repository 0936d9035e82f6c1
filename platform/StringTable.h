// The program's texts by string id: tooltips, status-bar texts, captions,
// dialog titles and file filters of the panels and commands, exactly as
// the program shows them.
#pragma once

#include <QString>

// The text of string `id`; empty for an id the table does not hold.
QString LoadString(int id);
