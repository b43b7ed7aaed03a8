#pragma once
// Drawing on the pages of a report in millimetres from the page's top left
// corner. The painter works in the PDF writer's device units; fonts are set
// in points, so text keeps its size whatever the resolution.
#include <QColor>
#include <QFont>
#include <QPainter>
#include <QString>

#include <cstdint>
#include <string>

// A4 portrait and the room the blocks of a page share.
constexpr double kReportPageWidth = 210.0;
constexpr double kReportPageHeight = 297.0;
constexpr double kReportLeft = 15.0;
constexpr double kReportWidth = 180.0;
constexpr double kReportTop = 20.0;
constexpr double kReportBottom = 282.0;

class ReportCanvas {
public:
    ReportCanvas(QPainter& painter, double unitsPerMm) : p_(painter), k_(unitsPerMm) {}

    QPainter& painter() { return p_; }
    double units(double mm) const { return mm * k_; }
    QPointF at(double x, double y) const { return {x * k_, y * k_}; }
    QRectF box(double x, double y, double w, double h) const { return {x * k_, y * k_, w * k_, h * k_}; }

    // Liberation Sans (embedded in the PDF) at a size in points.
    QFont font(double points, bool bold = false) const;
    double lineHeight(const QFont& font) const;
    double textWidth(const QString& text, const QFont& font) const;
    // The height of text wrapped into width.
    double textHeight(const QString& text, const QFont& font, double width) const;

    // Text wrapped into a box of width w whose top is y; the height it took.
    double text(double x, double y, double w, const QString& text, const QFont& font, int align = Qt::AlignLeft,
                const QColor& colour = Qt::black);
    // One line of text with its baseline at y, from x (left), centred on x or ending at x.
    void label(double x, double y, const QString& text, const QFont& font, Qt::Alignment align = Qt::AlignLeft,
               const QColor& colour = Qt::black);
    void fill(double x, double y, double w, double h, const QColor& colour);
    void frame(double x, double y, double w, double h, double width, const QColor& colour);
    void line(double x1, double y1, double x2, double y2, double width, const QColor& colour,
              Qt::PenStyle style = Qt::SolidLine);
    QPen pen(double width, const QColor& colour, Qt::PenStyle style = Qt::SolidLine) const;

private:
    QPainter& p_;
    double k_;
};

// 0xRRGGBB as a colour.
QColor Report_Colour(std::uint32_t rgb);
// A colour as it shows at an opacity over white paper (no transparency in the file).
QColor Report_OverWhite(std::uint32_t rgb, double opacity);
// Texts of the record files (Latin-1) and of names that may be UTF-8 (paths).
QString Report_Latin1(const std::string& latin1);
QString Report_FileText(const std::string& bytes);
// Numbers in the C locale: "%.*f" and "%.4g".
QString Report_Fixed(double value, int decimals);
QString Report_Number(double value);
