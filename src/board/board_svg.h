#pragma once
// The board's charts as SVG, drawn from the chart data the window draws
// (document/chart_data.h): the same points, lines and marks, so the board
// shows nothing the window would not. Every text is escaped; the drawing
// uses presentation attributes and classes only, no style attributes, so
// the page's Content-Security-Policy needs no inline style.
//
// Each lot is one element of class "pt" carrying data-row (its lot row) and
// data-lot (its label); a point the SPC judgment marked also has class
// "marked" and data-marks, one with an open alarm "alarm", one with notes
// "noted". A marked point is a diamond, an alarm adds a triangle above the
// point and a note a flag below it: shapes and words, never colour alone.
#include <string>

#include "document/chart_data.h"

namespace trevolo {

// A control chart; decimals: the places of the values in labels.
std::string ControlChartSvg(const ControlChart& chart, int decimals);
// The histogram with its normal curve and the specification limits.
std::string HistogramSvg(const Histogram& histogram, int decimals);

}  // namespace trevolo
