#include "host/svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <vector>

#include "host/level_report.h"
#include "host/settling_report.h"
#include "host/visible_text.h"
#include "review/review.h"

namespace kestrol::host {
namespace {

/// Canvas and margins [px]: room on the left and below for dimension lines, on the right for
/// the level labels. The canvas grows past them to hold every text it carries.
constexpr double kWidth = 960.0;
constexpr double kHeight = 720.0;
constexpr double kLeft = 130.0;
constexpr double kRight = 300.0;
constexpr double kTop = 70.0;
constexpr double kBottom = 90.0;
/// Blank edge beyond the outermost text [px], as left of the title.
constexpr double kEdge = 20.0;

/// Advance of one character [em of its font size], from which a text's width is estimated.
/// Measured with rsvg-convert and the sans-serif it draws with here (DejaVu Sans): the longest
/// warning label advances 0.59 em a character in bold, a plain label 0.55 em, the lowercase
/// alphabet in bold 0.64 em. Generous, so that another sans-serif rarely needs more.
constexpr double kAdvancePerEm = 0.65;
/// Capitals are wider, and a case name in the title may be all capitals: bold capitals
/// advance 0.75 em in the same font.
constexpr double kCapitalAdvancePerEm = 0.76;
/// Room below the baseline [em]: the ink of letters and digits reaches 0.24 em down.
constexpr double kDescentEm = 0.3;
constexpr double kTitleSize = 18.0;
constexpr double kLabelSize = 13.0;
constexpr double kDimensionSize = 14.0;

constexpr const char* kHeavyColour = "#3d6fb0";
constexpr const char* kLightColour = "#e0a93b";
constexpr const char* kVapourColour = "#eef3f8";
/// A level or height the review flags.
constexpr const char* kWarningColour = "#d4380d";


/// Estimated width [px] of UTF-8 text at a font size [px]: one advance per character (a byte
/// that does not continue a sequence), a wider one for a capital.
double TextWidth(const std::string& text, double size) {
    double ems = 0.0;
    for (const char ch : text) {
        if ((static_cast<unsigned char>(ch) & 0xC0) == 0x80) continue;
        ems += ch >= 'A' && ch <= 'Z' ? kCapitalAdvancePerEm : kAdvancePerEm;
    }
    return ems * size;
}

std::string Px(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", v);
    return text;
}

/// Character data and attribute values of XML 1.0: the markup characters as entities, after
/// VisibleText has written out the characters XML does not allow (a control in a case name would
/// leave the drawing not well-formed, so that no viewer opens it) and the controls it does.
std::string Escape(const std::string& text) {
    std::string out;
    for (char ch : VisibleText(text)) {
        switch (ch) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += ch;
        }
    }
    return out;
}

class Sketch {
public:
    Sketch(UnitSystem units, bool vertical, double diameter, double length)
        : units_(units), vertical_(vertical), diameter_(diameter), length_(length) {
        const double worldWidth = vertical ? diameter : length;
        const double worldHeight = vertical ? length : diameter;
        scale_ = std::min((kWidth - kLeft - kRight) / worldWidth, (kHeight - kTop - kBottom) / worldHeight);
        // The canvas shrinks to the drawing along the direction that did not limit the scale.
        width_ = kLeft + worldWidth * scale_ + kRight;
        height_ = kTop + worldHeight * scale_ + kBottom;
        originX_ = kLeft;
        originY_ = height_ - kBottom;
    }

    /// The canvas: the drawing with its margins, widened and deepened to every text's extent,
    /// in whole pixels (a part pixel at the edge renders half transparent).
    double Width() const { return std::ceil(std::max(width_, textRight_ + kEdge)); }
    double Height() const { return std::ceil(std::max(height_, textBottom_ + kEdge)); }

    /// A text whose anchor is (x, y) on its baseline, `upright` turned a quarter anticlockwise
    /// about that anchor; its extent counts towards the canvas.
    void Text(double x, double y, double size, const std::string& words, const std::string& attributes, bool middle = false,
              bool upright = false) {
        const double width = TextWidth(VisibleText(words), size);
        if (upright) {
            textRight_ = std::max(textRight_, x + kDescentEm * size);
            textBottom_ = std::max(textBottom_, y + (middle ? width / 2.0 : 0.0));
        } else {
            textRight_ = std::max(textRight_, x + (middle ? width / 2.0 : width));
            textBottom_ = std::max(textBottom_, y + kDescentEm * size);
        }
        out_ << "  <text x=\"" << Px(x) << "\" y=\"" << Px(y) << "\" font-size=\"" << Px(size) << "\"" << attributes
             << (middle ? " text-anchor=\"middle\"" : "");
        if (upright) out_ << " transform=\"rotate(-90 " << Px(x) << ' ' << Px(y) << ")\"";
        out_ << ">" << Escape(words) << "</text>\n";
    }

    std::string Length(double metres) const {
        const Unit unit = UnitOf(Quantity::Length, units_);
        return FormatNumber(Convert(metres, Quantity::Length, units_), unit.digits) + " " + unit.symbol;
    }

    /// Screen x of a point `along` the vessel's width (vertical) or length (horizontal).
    double X(double along) const { return originX_ + along * scale_; }
    /// Screen y of a height above the vessel's lowest point.
    double Y(double height) const { return originY_ - height * scale_; }

    std::string Outline() const {
        const double head = diameter_ / 4.0;
        std::ostringstream d;
        if (vertical_) {
            const double rx = diameter_ / 2.0 * scale_, ry = head * scale_;
            d << "M " << Px(X(0)) << ' ' << Px(Y(head)) << " L " << Px(X(0)) << ' ' << Px(Y(length_ - head)) << " A " << Px(rx) << ' '
              << Px(ry) << " 0 0 1 " << Px(X(diameter_)) << ' ' << Px(Y(length_ - head)) << " L " << Px(X(diameter_)) << ' '
              << Px(Y(head)) << " A " << Px(rx) << ' ' << Px(ry) << " 0 0 1 " << Px(X(0)) << ' ' << Px(Y(head)) << " Z";
        } else {
            const double rx = head * scale_, ry = diameter_ / 2.0 * scale_;
            d << "M " << Px(X(head)) << ' ' << Px(Y(diameter_)) << " L " << Px(X(length_ - head)) << ' ' << Px(Y(diameter_)) << " A "
              << Px(rx) << ' ' << Px(ry) << " 0 0 1 " << Px(X(length_ - head)) << ' ' << Px(Y(0)) << " L " << Px(X(head)) << ' '
              << Px(Y(0)) << " A " << Px(rx) << ' ' << Px(ry) << " 0 0 1 " << Px(X(head)) << ' ' << Px(Y(diameter_)) << " Z";
        }
        return d.str();
    }

    /// A band between two heights, the vessel's full width or length, clipped to the shell.
    void Band(double from, double to, const char* colour, const char* title) {
        if (!(to > from)) return;
        const double span = vertical_ ? diameter_ : length_;
        out_ << "  <rect clip-path=\"url(#shell)\" x=\"" << Px(X(0)) << "\" y=\"" << Px(Y(to)) << "\" width=\"" << Px(span * scale_)
             << "\" height=\"" << Px((to - from) * scale_) << "\" fill=\"" << colour << "\"><title>" << title << "</title></rect>\n";
    }

    /// A level line across the vessel with its label on the right.
    void Level(double height, const std::string& label, const char* colour, bool dashed) {
        const double span = vertical_ ? diameter_ : length_;
        const double y = Y(height);
        out_ << "  <line x1=\"" << Px(X(0)) << "\" y1=\"" << Px(y) << "\" x2=\"" << Px(X(span)) << "\" y2=\"" << Px(y) << "\" stroke=\""
             << colour << "\" stroke-width=\"1.5\"" << (dashed ? " stroke-dasharray=\"6 4\"" : "") << "/>\n";
        const double labelX = X(span) + (vertical_ ? 24.0 : 44.0);
        const double labelY = std::max(y, labelFloor_ + 14.0);
        labelFloor_ = labelY;
        out_ << "  <line x1=\"" << Px(X(span) + 4) << "\" y1=\"" << Px(y) << "\" x2=\"" << Px(labelX - 4) << "\" y2=\"" << Px(labelY - 4)
             << "\" stroke=\"#888\" stroke-width=\"0.8\"/>\n";
        const bool warning = std::string(colour) == kWarningColour;
        Text(labelX, labelY, kLabelSize, label, warning ? std::string(" fill=\"") + colour + "\" font-weight=\"bold\"" : std::string());
    }

    void LabelsFromTop() { labelFloor_ = -1e9; }

    /// A dimension line between two screen points, with arrow heads and its value.
    void Dimension(double x1, double y1, double x2, double y2, const std::string& text) {
        out_ << "  <line x1=\"" << Px(x1) << "\" y1=\"" << Px(y1) << "\" x2=\"" << Px(x2) << "\" y2=\"" << Px(y2)
             << "\" stroke=\"#222\" stroke-width=\"1\" marker-start=\"url(#arrow)\" marker-end=\"url(#arrow)\"/>\n";
        const double mx = (x1 + x2) / 2.0, my = (y1 + y2) / 2.0;
        if (x1 == x2) {
            Text(mx - 8, my, kDimensionSize, text, "", true, true);
        } else {
            Text(mx, my + 18, kDimensionSize, text, "", true);
        }
    }

    void Raw(const std::string& text) { out_ << text; }
    std::string Body() const { return out_.str(); }
    double Scale() const { return scale_; }

private:
    UnitSystem units_;
    bool vertical_;
    double diameter_;
    double length_;
    double scale_ = 1.0;
    double width_ = kWidth;
    double height_ = kHeight;
    double originX_ = 0.0;
    double originY_ = 0.0;
    double labelFloor_ = -1e9;
    double textRight_ = 0.0;
    double textBottom_ = 0.0;
    std::ostringstream out_;
};

/// How far a nozzle stub stands off the shell in the drawing [m]; a drawing's choice only.
constexpr double kNozzleProjection = 0.25;

/// A nozzle as a stub of its inside diameter standing off the shell, named in its tooltip.
std::string NozzleStub(const Sketch& s, const NozzlePlace& n, const std::string& size) {
    const double half = 0.5 * n.diameter;
    double x0 = n.along - half, x1 = n.along + half, y0 = n.height - half, y1 = n.height + half;
    if (n.direction == 0) x0 = n.along - kNozzleProjection, x1 = n.along;
    if (n.direction == 2) x0 = n.along, x1 = n.along + kNozzleProjection;
    if (n.direction == 1) y0 = n.height, y1 = n.height + kNozzleProjection;
    if (n.direction == 3) y0 = n.height - kNozzleProjection, y1 = n.height;
    return "  <rect x=\"" + Px(s.X(x0)) + "\" y=\"" + Px(s.Y(y1)) + "\" width=\"" + Px(s.X(x1) - s.X(x0)) + "\" height=\"" +
           Px(s.Y(y0) - s.Y(y1)) + "\" fill=\"#cfd8e3\" stroke=\"#222\" stroke-width=\"1.5\"><title>" + Escape(std::string(n.label) + " " + size) +
           "</title></rect>\n";
}

}  // namespace

std::string VesselSvg(const SizingCase& c, const SizingOutcome& o, UnitSystem units) {
    const double diameter = o.MagnitudeAt(Slot::Diameter);
    const double length = o.MagnitudeAt(Slot::OverallLength);
    if (!o.Sized() || !(diameter > 0.0) || !(length > 0.0)) throw InputError("no drawing: the vessel was not sized");
    const bool vertical = o.orientation == 0;
    const std::string title = (c.name.empty() ? std::string("Separator") : c.name) + ": " + (vertical ? "vertical" : "horizontal") +
                              " vessel, drawn to scale";
    Sketch s(units, vertical, diameter, length);
    s.Text(kEdge, 32.0, kTitleSize, title, " font-weight=\"bold\"");
    s.Raw("  <path d=\"" + s.Outline() + "\" fill=\"" + kVapourColour + "\"/>\n");

    const bool heavy = c.HasHeavyLiquid();
    const double heavyLevel = heavy ? o.MagnitudeAt(Slot::HeavyLevel) : 0.0;
    const double liquidTop = heavyLevel + o.MagnitudeAt(Slot::LightLayerThickness);
    const double minimum = o.MagnitudeAt(Slot::MinimumLevel);

    s.Band(0.0, heavyLevel, kHeavyColour, "heavy liquid");
    s.Band(heavyLevel, liquidTop, kLightColour, "light liquid");

    // Labels run from the top of the drawing down, so they are added highest level first.
    struct Mark {
        double height;
        std::string label;
        const char* colour;
        bool dashed;
    };
    std::vector<Mark> marks;
    const review::Review r = review::ReviewCase(c, o);
    std::string levelWarning, heightWarning;
    for (const review::Finding& f : r) {
        if (f.severity != review::Severity::Warning) continue;
        if (f.mark == review::Mark::Level) levelWarning = std::string(": ") + review::ShortText(f.code);
        if (f.mark == review::Mark::Height) heightWarning = std::string(": ") + review::ShortText(f.code);
    }
    if (vertical) {
        double at = liquidTop;
        const std::pair<Slot, const char*> stack[] = {{Slot::VapourAllowance, "vapour allowance"},
                                                      {Slot::DisengagementHeight, "disengagement"},
                                                      {Slot::MistEliminatorHeight, "mist eliminator"},
                                                      {Slot::SecondVapourAllowance, "second allowance"}};
        for (const auto& [slot, words] : stack) {
            const double h = o.MagnitudeAt(slot);
            if (!(h > 0.0)) continue;
            if (slot == Slot::MistEliminatorHeight) s.Band(at, at + h, "url(#mesh)", "mist eliminator");
            at += h;
            // The disengagement height is where the closure puts a height the ratio set.
            const bool flagged = slot == Slot::DisengagementHeight && !heightWarning.empty();
            marks.push_back({at, std::string(words) + " " + s.Length(h) + (flagged ? heightWarning : ""), flagged ? kWarningColour : "#999",
                             !flagged});
        }
    } else {
        const double space = o.MagnitudeAt(Slot::VapourSpaceHeight);
        if (space > 0.0) marks.push_back({diameter - space, "vapour space " + s.Length(space) + " below the top", "#999", true});
    }
    marks.push_back({liquidTop, std::string(heavy ? "light liquid top " : "liquid level ") + s.Length(liquidTop) + levelWarning,
                     levelWarning.empty() ? "#8a5d00" : kWarningColour, false});
    if (heavy) marks.push_back({heavyLevel, "heavy liquid level " + s.Length(heavyLevel), "#1d3f70", false});
    if (minimum > 0.0) marks.push_back({minimum, "minimum level " + s.Length(minimum), "#c0392b", true});
    // A set point the vessel cannot hold (above an upright shell) is in the report, not the drawing.
    for (const LevelLine& line : LevelLines(c, o))
        if (line.height <= (vertical ? length - diameter / 4.0 : diameter))
            marks.push_back({line.height, line.label + " " + s.Length(line.height), line.interfaceLevel ? kHeavyColour : "#6b4f1d", true});
    std::stable_sort(marks.begin(), marks.end(), [](const Mark& a, const Mark& b) { return a.height > b.height; });
    s.LabelsFromTop();
    for (const Mark& m : marks) s.Level(m.height, m.label, m.colour, m.dashed);

    for (const NozzlePlace& n : NozzlePlaces(c, o)) s.Raw(NozzleStub(s, n, FormatNumber(n.diameter * 1000.0, 1) + " mm inside"));
    s.Raw("  <path d=\"" + s.Outline() + "\" fill=\"none\" stroke=\"#222\" stroke-width=\"2.5\"/>\n");
    if (vertical) {
        s.Dimension(s.X(0), s.Y(0) + 40, s.X(diameter), s.Y(0) + 40, "D = " + s.Length(diameter));
        s.Dimension(s.X(0) - 40, s.Y(length), s.X(0) - 40, s.Y(0), "height " + s.Length(length));
    } else {
        s.Dimension(s.X(0), s.Y(0) + 40, s.X(length), s.Y(0) + 40, "overall length " + s.Length(length));
        s.Dimension(s.X(0) - 40, s.Y(diameter), s.X(0) - 40, s.Y(0), "D = " + s.Length(diameter));
    }
    // The canvas is known once every text is placed.
    std::ostringstream svg;
    svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << Px(s.Width()) << "\" height=\"" << Px(s.Height()) << "\" viewBox=\"0 0 "
        << Px(s.Width()) << ' ' << Px(s.Height()) << "\" font-family=\"sans-serif\">\n";
    svg << "  <defs>\n    <clipPath id=\"shell\"><path d=\"" << s.Outline() << "\"/></clipPath>\n"
        << "    <marker id=\"arrow\" viewBox=\"0 0 10 10\" refX=\"5\" refY=\"5\" markerWidth=\"8\" markerHeight=\"8\" orient=\"auto-start-reverse\">"
        << "<path d=\"M 0 1 L 10 5 L 0 9 z\" fill=\"#222\"/></marker>\n"
        << "    <pattern id=\"mesh\" width=\"6\" height=\"6\" patternUnits=\"userSpaceOnUse\"><path d=\"M 0 6 L 6 0\" stroke=\"#777\" stroke-width=\"1\"/></pattern>\n"
        << "  </defs>\n";
    svg << "  <rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    svg << s.Body() << "</svg>\n";
    return svg.str();
}

}  // namespace kestrol::host
