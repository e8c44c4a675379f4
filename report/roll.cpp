// The piano roll: the notes as played as SVG shapes, with a legend, a drum lane, the loop line and a time axis.
#include "report/roll.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace tavrin {

namespace {

constexpr double kLeft = 44.0;     // key labels
constexpr double kRight = 44.0;  // half a time label
constexpr double kTop = 28.0;      // the title
constexpr double kRowHeight = 6.0;  // one semitone
constexpr double kDrumRow = 12.0;  // one drum channel in the lane
constexpr double kAxisHeight = 28.0;
constexpr double kLegendRow = 16.0;

std::string Escaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default:
        // Control characters are not allowed in XML 1.0 text.
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') out.push_back(c);
    }
  }
  return out;
}

std::string Format(const char* format, double a, double b = 0, double c = 0, double d = 0) {
  std::array<char, 160> text{};
  std::snprintf(text.data(), text.size(), format, a, b, c, d);
  return text.data();
}

// Colours spread round the hue circle by the golden angle, so neighbours differ.
std::string ColourOf(std::size_t index) {
  return "hsl(" + std::to_string(static_cast<int>(std::fmod(static_cast<double>(index) * 137.508, 360.0))) +
         ",70%,42%)";
}

// "00:01:23.456": the report's time format.
std::string TimeText(double seconds) {
  const auto ms = static_cast<long long>(std::llround(seconds * 1000.0));
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), "%02lld:%02lld:%02lld.%03lld", ms / 3600000, ms / 60000 % 60,
                ms / 1000 % 60, ms % 1000);
  return text.data();
}

// The first step of the list that leaves at least 110 pixels between labels.
double AxisStep(double pixelsPerSecond) {
  static constexpr std::array<double, 14> kSteps = {0.05, 0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 30, 60, 120, 300, 600};
  for (double step : kSteps) {
    if (step * pixelsPerSecond >= 110.0) return step;
  }
  return kSteps.back();
}

constexpr std::array<std::string_view, 12> kKeyNames = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};

}  // namespace

std::string RollSvg(const PlayedSong& song, double pixelsPerSecond, std::string_view fileName) {
  const bool timed = song.rate.numerator > 0 && song.rate.denominator > 0;
  const double secondsPerTick = timed ? static_cast<double>(song.rate.numerator) / song.rate.denominator : 0.01;
  const auto seconds = [&](std::uint64_t tick) {
    return static_cast<double>(tick - std::min(tick, song.startTick)) * secondsPerTick;
  };
  const auto x = [&](std::uint64_t tick) { return kLeft + seconds(tick) * pixelsPerSecond; };
  const double duration = static_cast<double>(song.endTick - song.startTick) * secondsPerTick;
  const double plotWidth = std::max(200.0, duration * pixelsPerSecond);

  double low = 60.0;
  double high = 72.0;
  bool any = false;
  std::size_t drumChannels = 0;
  for (const PlayedChannel& ch : song.channels) {
    if (ch.drums) {
      ++drumChannels;
      continue;
    }
    for (const PlayedNote& n : ch.notes) {
      double nLow = n.key;
      double nHigh = n.key;
      for (const PlayedBend& b : n.bends) {
        nLow = std::min(nLow, b.key);
        nHigh = std::max(nHigh, b.key);
      }
      low = any ? std::min(low, nLow) : nLow;
      high = any ? std::max(high, nHigh) : nHigh;
      any = true;
    }
  }
  // Whole octaves from a C, clamped to what a MIDI key can name.
  const int lowKey = std::clamp(static_cast<int>(std::floor(low)) / 12 * 12, 0, 120);
  const int highKey = std::clamp((static_cast<int>(std::ceil(high)) / 12 + 1) * 12, lowKey + 12, 132);
  // Key k is the row centred on y(k); the rows run from lowKey to highKey - 1.
  const double pitchHeight = (highKey - lowKey) * kRowHeight;
  const auto y = [&](double key) { return kTop + (highKey - 0.5 - key) * kRowHeight; };
  const double laneTop = kTop + pitchHeight + 6.0;
  const double laneHeight = static_cast<double>(drumChannels) * kDrumRow;
  const double axisTop = laneTop + laneHeight + 4.0;
  const double legendTop = axisTop + kAxisHeight;
  const double width = kLeft + plotWidth + kRight;
  const double height = legendTop + static_cast<double>(song.channels.size()) * kLegendRow + 8.0;

  std::string svg;
  svg.reserve(4096 + 160 * song.channels.size() * 16);
  svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += Format("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%.0f\" viewBox=\"0 0 %.0f %.0f\" "
                "font-family=\"sans-serif\" font-size=\"11\">\n",
                std::ceil(width), std::ceil(height), std::ceil(width), std::ceil(height));
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  svg += "<text x=\"" + std::to_string(static_cast<int>(kLeft)) + "\" y=\"18\" font-size=\"13\" font-weight=\"bold\">" +
         Escaped(song.title.empty() ? fileName : std::string_view(song.title)) + "</text>\n";

  // The keyboard grid: a shaded row for each black key, a line and a label at each C.
  svg += "<g stroke=\"none\" fill=\"#f0f0f0\">\n";
  for (int key = lowKey; key < highKey; ++key) {
    const int pc = key % 12;
    if (pc == 1 || pc == 3 || pc == 6 || pc == 8 || pc == 10) {
      svg += Format("<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\"/>\n", kLeft, y(key + 0.5), plotWidth,
                    kRowHeight);
    }
  }
  svg += "</g>\n<g stroke=\"#c8c8c8\" stroke-width=\"1\">\n";
  for (int key = lowKey; key <= highKey; key += 12) {
    svg += Format("<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>\n", kLeft, y(key - 0.5), kLeft + plotWidth,
                  y(key - 0.5));
  }
  svg += "</g>\n<g fill=\"#555\" text-anchor=\"end\">\n";
  for (int key = lowKey; key < highKey; key += 12) {
    svg += Format("<text x=\"%.1f\" y=\"%.1f\">", kLeft - 4, y(key - 0.5)) + std::string(kKeyNames[0]) +
           std::to_string(key / 12 - 1) + "</text>\n";
  }
  svg += "</g>\n";
  if (drumChannels > 0) {
    svg += Format("<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"#f6f3ea\"/>\n", kLeft, laneTop,
                  plotWidth, laneHeight);
    svg += Format("<text x=\"%.1f\" y=\"%.1f\" fill=\"#555\" text-anchor=\"end\">drums</text>\n", kLeft - 4,
                  laneTop + 10);
  }

  // Notes: each stretch at one pitch a bar at its exact key, joined across its bends.
  std::size_t drumRow = 0;
  for (std::size_t i = 0; i < song.channels.size(); ++i) {
    const PlayedChannel& ch = song.channels[i];
    svg += "<g fill=\"" + ColourOf(i) + "\" stroke=\"" + ColourOf(i) + "\">\n";
    if (ch.drums) {
      const double top = laneTop + static_cast<double>(drumRow++) * kDrumRow + 1;
      for (const PlayedNote& n : ch.notes) {
        svg += Format("<line x1=\"%.2f\" y1=\"%.1f\" x2=\"%.2f\" y2=\"%.1f\" stroke-width=\"2.5\"/>\n", x(n.start),
                      top, x(n.start), top + kDrumRow - 2);
      }
    } else {
      for (const PlayedNote& n : ch.notes) {
        double key = n.key;
        std::uint64_t from = n.start;
        std::string joins;
        const auto bar = [&](std::uint64_t to) {
          svg += Format("<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.1f\" stroke=\"none\"/>\n", x(from),
                        y(key + 0.5), std::max(0.5, x(to) - x(from)), kRowHeight - 1);
        };
        for (const PlayedBend& b : n.bends) {
          bar(b.tick);
          joins += Format("<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke-width=\"1\"/>\n", x(b.tick),
                          y(key), x(b.tick), y(b.key));
          key = b.key;
          from = b.tick;
        }
        bar(n.end);
        svg += joins;
      }
    }
    svg += "</g>\n";
  }

  if (song.loopTick) {
    const double lx = x(*song.loopTick);
    svg += Format("<line x1=\"%.2f\" y1=\"%.1f\" x2=\"%.2f\" y2=\"%.1f\" stroke=\"#d00\" stroke-width=\"1.5\" "
                  "stroke-dasharray=\"6,4\"/>\n",
                  lx, kTop - 6, lx, axisTop);
    svg += Format("<text x=\"%.2f\" y=\"%.1f\" fill=\"#d00\">loop</text>\n", lx + 3, kTop - 8);
  }

  // The time axis.
  svg += Format("<g stroke=\"#333\"><line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>\n", kLeft, axisTop,
                kLeft + plotWidth, axisTop);
  const double step = AxisStep(pixelsPerSecond);
  const double origin = static_cast<double>(song.startTick) * secondsPerTick;
  std::string labels;
  for (double s = 0; s <= duration + 1e-9; s += step) {
    const double tx = kLeft + s * pixelsPerSecond;
    svg += Format("<line x1=\"%.2f\" y1=\"%.1f\" x2=\"%.2f\" y2=\"%.1f\"/>\n", tx, axisTop, tx, axisTop + 5);
    labels += Format("<text x=\"%.2f\" y=\"%.1f\">", tx, axisTop + 17) + TimeText(origin + s) + "</text>\n";
  }
  svg += "</g>\n<g fill=\"#333\" text-anchor=\"middle\">\n" + labels + "</g>\n";

  // The legend: device and channel of each colour.
  for (std::size_t i = 0; i < song.channels.size(); ++i) {
    const double ly = legendTop + static_cast<double>(i) * kLegendRow;
    svg += Format("<rect x=\"%.1f\" y=\"%.1f\" width=\"12\" height=\"10\"", kLeft, ly) + " fill=\"" + ColourOf(i) +
           "\"/>\n";
    svg += Format("<text x=\"%.1f\" y=\"%.1f\">", kLeft + 18, ly + 9) + Escaped(song.channels[i].name) +
           (song.channels[i].drums ? " (drums)" : "") + " - " + std::to_string(song.channels[i].notes.size()) +
           " notes</text>\n";
  }
  svg += "</svg>\n";
  return svg;
}

}  // namespace tavrin
