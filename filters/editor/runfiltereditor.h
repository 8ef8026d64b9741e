#pragma once

class FilterEditorHost;
class QWidget;

// All of the main window's EditFilters: runs the filter editor modally, then blanks the
// entry and searches again for the headword box's text as it stands (empty stays empty).
void RunFilterEditor(FilterEditorHost& host, QWidget* parent);
