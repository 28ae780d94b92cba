// `wayconv --export svg`: a picture of the tracks that any browser opens.
//
// The tracks are drawn north up in an equirectangular projection, longitudes
// scaled by the cosine of the middle latitude, so that a kilometre is as long
// east-west as north-south near the middle of the picture. Each track is one
// polyline in a colour of its own from a fixed palette that stays distinct
// for colour-blind eyes, with a dot where it starts (numbered as --show
// numbers the tracks, while there are at most 12). A title line names the
// file and counts its points and tracks; a scale bar in km sits below the
// tracks. The picture is 800 px wide; its height follows the shape of the
// tracks, at least 200 px and at most 1000 px (a tall, narrow track is then
// drawn narrower, centred). An empty file or a single point gives a picture
// that says so.
#pragma once

#include <string>

#include "trackfile/track_data.h"

constexpr int kSvgWidth = 800;
constexpr int kSvgMinHeight = 200;
constexpr int kSvgMaxHeight = 1000;

/// The picture of `data`, titled with the base name of `path`.
std::string ExportSvg(const TrackData& data, const std::string& path);

/// Appends `text` (UTF-8) escaped for XML character data and attribute
/// values; bytes that are not valid UTF-8 and characters XML forbids become
/// U+FFFD.
void AppendXmlText(std::string* out, const std::string& text);
