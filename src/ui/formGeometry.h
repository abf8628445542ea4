#pragma once
// Window geometry in the settings store, in a section named after the widget's objectName. Kept beside
// the widgets: the store itself (src/core) links Qt Core only.
class QWidget;
class TOptionsBase;

// The window's left, top, width and height.
void saveForm(TOptionsBase& options, QWidget* form);
void loadForm(TOptionsBase& options, QWidget* form);
// The control's width; inside a horizontal splitter the other panes share the rest.
void saveWidth(TOptionsBase& options, QWidget* control);
void loadWidth(TOptionsBase& options, QWidget* control);
