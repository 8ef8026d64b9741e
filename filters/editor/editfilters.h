#pragma once

class FilterEditorHost;
class QWidget;

// The editor command of the main window: runs the filter editor modally, then blanks the
// entry and searches again for the headword box's text as it stands (empty stays empty).
void EditFilters(FilterEditorHost& host, QWidget* parent);
