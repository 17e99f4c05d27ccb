// Builds a dialog's controls from its template: dialog units are converted to pixels once,
// from the dialog font's average character width (x / 4) and height (y / 8).
#pragma once

#include <QDialog>
#include <QPushButton>

#include "res/resources.h"

// Adds the template's controls to the dialog and sizes it. Controls with an id get the id as
// their object name; OK accepts and Cancel rejects.
void BuildDialog(QDialog* dialog, const res::DialogTemplate& t);
