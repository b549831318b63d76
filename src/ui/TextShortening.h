// Fitting names and paths into a width, with the width of a text given by a measure.
#pragma once

#include <QString>

#include <functional>

using TTextMeasure = std::function<int(const QString&)>;

// A list row's text fitted to `width`: a path loses middle folders behind "\...",
// a plain name keeps its longest fitting prefix ending in "...".
QString ShortenToWidth(const QString& text, int width, const TTextMeasure& measure);

// The status window's file path fitted to a control `controlWidth` wide: folders after the
// first "\" give way to "\..."; a path still too wide is cut at character 11 with "...".
QString ShortenStatusPath(const QString& path, int controlWidth, const TTextMeasure& measure);
