// Draws the library's built-in icon atlas at 1x, 2x and 3x and turns its icons
// into compressed pixel arrays that are compiled into the library, so that a host
// application needs no resource files of ours.
//
//   brelvo-make-atlas <source-root>              paint resources/atlas/atlas.png,
//                                                atlas@2x.png and atlas@3x.png,
//                                                then write the arrays
//   brelvo-make-atlas <source-root> --data-only  write the arrays from the
//                                                PNGs already there
//
// The arrays go to src/ui/images/BrelvoImageStorageData.cpp. All these files are
// checked in; the build never runs this program.

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFont>
#include "ui/images/AtlasTable.h"

#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSaveFile>

#include <cmath>
#include <cstdio>
#include <functional>

namespace {

using brelvo::kAtlasHeight;
using brelvo::kAtlasWidth;
constexpr int kScales = 3;       // atlases at 1x, 2x and 3x
constexpr int kSupersample = 4;  // each icon is drawn 4× larger, then scaled down smoothly


// Palette. Most icons sit on the dark grey chrome of the overlay and editor,
// so glyphs are white; the brand blue marks what the tester can press.
const QColor kBrand(0x2E, 0x7C, 0xF6);
const QColor kBrandLight(0x6F, 0xA5, 0xF8);
const QColor kInactive(0x9A, 0xA3, 0xAE);
const QColor kDisabledGlyph(0x76, 0x76, 0x76);  // the editor's grey title colour
const QColor kPale(0xD5, 0xDC, 0xE4);
const QColor kAmber(0xF5, 0xA6, 0x23);
const QColor kRed(0xE5, 0x48, 0x4D);
const QColor kHighlighter(0xFF, 0xD4, 0x3B);
const QColor kFieldFill(0xF4, 0xF6, 0xF9);
const QColor kFieldLine(0xC5, 0xCD, 0xD8);
const QColor kFieldGlyph(0x5B, 0x65, 0x73);

using Drawing = std::function<void(QPainter&, const QSizeF&)>;

// Punches the shape out of what is drawn so far: gaps stay transparent, so a
// glyph reads the same on any background.
void punch(QPainter& p, const QPainterPath& shape) {
    p.save();
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.fillPath(shape, Qt::black);
    p.restore();
}

void punchStroke(QPainter& p, const QPainterPath& path, qreal width, Qt::PenCapStyle cap = Qt::RoundCap) {
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(cap);
    stroker.setJoinStyle(Qt::RoundJoin);
    punch(p, stroker.createStroke(path));
}

void stroke(QPainter& p, const QPainterPath& path, const QColor& colour, qreal width,
            Qt::PenCapStyle cap = Qt::RoundCap) {
    p.save();
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour, width, Qt::SolidLine, cap, Qt::RoundJoin));
    p.drawPath(path);
    p.restore();
}

QPainterPath circle(QPointF centre, qreal radius) {
    QPainterPath path;
    path.addEllipse(centre, radius, radius);
    return path;
}

QPainterPath roundedRect(const QRectF& r, qreal radius) {
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

// The text as a filled outline, scaled to fit the box and centred in it.
QPainterPath textIn(const QString& text, const QRectF& box, int weight = QFont::Bold) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(100);
    font.setWeight(QFont::Weight(weight));
    QPainterPath path;
    path.addText(0, 0, font, text);
    const QRectF bounds = path.boundingRect();
    const qreal s = std::min(box.width() / bounds.width(), box.height() / bounds.height());
    QTransform t;
    t.translate(box.center().x(), box.center().y());
    t.scale(s, s);
    t.translate(-bounds.center().x(), -bounds.center().y());
    return t.map(path);
}

// Draws on a layer of its own and lays it over what is drawn so far, so that
// the glyph's punched gaps show the shape below rather than cutting through it.
void onLayer(QPainter& p, const std::function<void(QPainter&)>& draw) {
    QImage layer(p.device()->width(), p.device()->height(), QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    {
        QPainter q(&layer);
        q.setRenderHints(p.renderHints());
        q.setWorldTransform(p.worldTransform());
        draw(q);
    }
    p.save();
    p.resetTransform();
    p.drawImage(0, 0, layer);
    p.restore();
}

// ---- glyphs -----------------------------------------------------------------

// The brand's bug: a beetle seen from above, `height` tall, centred on c.
void bug(QPainter& p, QPointF c, qreal height, const QColor& colour) {
    const qreal u = height / 100.0;
    auto at = [&](qreal x, qreal y) { return c + QPointF(x * u, y * u); };

    QPainterPath legs;
    for (int side : {-1, 1}) {
        legs.moveTo(at(side * 18, -4));
        legs.lineTo(at(side * 40, -16));
        legs.moveTo(at(side * 20, 12));
        legs.lineTo(at(side * 44, 12));
        legs.moveTo(at(side * 18, 28));
        legs.lineTo(at(side * 38, 44));
        // antennae
        legs.moveTo(at(side * 7, -36));
        legs.quadTo(at(side * 10, -48), at(side * 22, -50));
    }
    stroke(p, legs, colour, 7 * u);

    const QPainterPath head = circle(at(0, -29), 14 * u);
    QPainterPath body;
    body.addEllipse(QRectF(at(-26, -18), at(26, 50)));
    p.fillPath(head, colour);
    // a clear seam between head and body, and down the middle of the wings
    QPainterPathStroker seam;
    seam.setWidth(7 * u);
    punch(p, seam.createStroke(body));
    p.fillPath(body, colour);
    QPainterPath wingLine;
    wingLine.moveTo(at(0, -14));
    wingLine.lineTo(at(0, 46));
    punchStroke(p, wingLine, 4.5 * u, Qt::FlatCap);
}

// A camera `width` wide, centred on c.
void camera(QPainter& p, QPointF c, qreal width, const QColor& colour) {
    const qreal u = width / 100.0;
    auto at = [&](qreal x, qreal y) { return c + QPointF(x * u, y * u); };
    QPainterPath shape = roundedRect(QRectF(at(-50, -28), at(50, 40)), 14 * u);
    shape = shape.united(roundedRect(QRectF(at(-22, -42), at(18, -20)), 6 * u));
    p.fillPath(shape, colour);
    punch(p, circle(at(0, 6), 24 * u));
    p.fillPath(circle(at(0, 6), 15 * u), colour);
    punch(p, circle(at(33, -14), 5 * u));
}

// A pencil lying from bottom left (its point) to top right, in a box of side s.
void pencil(QPainter& p, QPointF c, qreal s, const QColor& colour) {
    p.save();
    p.translate(c);
    p.rotate(-45);
    const qreal length = s * 1.18, thick = s * 0.24;
    const qreal left = -length / 2, right = length / 2;
    const qreal tipEnd = left + thick * 1.15;
    QPainterPath tip;
    tip.moveTo(left, 0);
    tip.lineTo(tipEnd, -thick / 2);
    tip.lineTo(tipEnd, thick / 2);
    tip.closeSubpath();
    p.fillPath(tip, colour);
    QPainterPath body;
    body.addRect(QRectF(QPointF(tipEnd + thick * 0.18, -thick / 2), QPointF(right - thick * 0.75, thick / 2)));
    p.fillPath(body, colour);
    p.fillPath(roundedRect(QRectF(QPointF(right - thick * 0.57, -thick / 2), QPointF(right, thick / 2)), thick * 0.22),
               colour);
    // the bare wood between lead and paint
    QPainterPath wood;
    wood.moveTo(left + thick * 0.45, -thick * 0.28);
    wood.lineTo(left + thick * 0.45, thick * 0.28);
    punchStroke(p, wood, thick * 0.12, Qt::FlatCap);
    p.restore();
}

// A chisel-tipped highlighter over a stroke of its ink.
void marker(QPainter& p, const QSizeF& size, const QColor& colour) {
    const qreal s = std::min(size.width(), size.height());
    QPainterPath ink;
    ink.moveTo(s * 0.10, size.height() - s * 0.10);
    ink.lineTo(size.width() - s * 0.10, size.height() - s * 0.10);
    stroke(p, ink, kHighlighter, s * 0.13, Qt::RoundCap);

    p.save();
    p.translate(size.width() * 0.55, size.height() * 0.42);
    p.rotate(-45);
    const qreal thick = s * 0.30, length = s * 0.95;
    const qreal left = -length / 2, right = length / 2;
    QPainterPath nib;
    nib.moveTo(left, -thick * 0.12);
    nib.lineTo(left + thick * 0.25, -thick * 0.30);
    nib.lineTo(left + thick * 0.55, -thick * 0.30);
    nib.lineTo(left + thick * 0.55, thick * 0.30);
    nib.lineTo(left, thick * 0.30);
    nib.closeSubpath();
    p.fillPath(nib, colour);
    const qreal collar = left + thick * 0.70;
    p.fillPath(roundedRect(QRectF(QPointF(collar, -thick / 2), QPointF(collar + thick * 0.35, thick / 2)), thick * 0.08),
               colour);
    p.fillPath(roundedRect(QRectF(QPointF(collar + thick * 0.50, -thick / 2), QPointF(right, thick / 2)), thick * 0.18),
               colour);
    p.restore();
}

void arrowIcon(QPainter& p, const QSizeF& size, const QColor& colour) {
    const qreal s = std::min(size.width(), size.height());
    const QPointF from(s * 0.18, s * 0.82), to(s * 0.80, s * 0.20);
    QPainterPath shaft;
    shaft.moveTo(from);
    shaft.lineTo(to - QPointF(s * 0.10, -s * 0.10));
    stroke(p, shaft, colour, s * 0.10);
    QPainterPath head;
    head.moveTo(to + QPointF(s * 0.04, -s * 0.04));
    head.lineTo(to + QPointF(-s * 0.34, s * 0.02));
    head.lineTo(to + QPointF(-s * 0.02, s * 0.34));
    head.closeSubpath();
    p.save();
    p.setPen(QPen(colour, s * 0.04, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(colour);
    p.drawPath(head);
    p.restore();
}

void cropIcon(QPainter& p, const QSizeF& size, const QColor& colour) {
    const qreal s = std::min(size.width(), size.height());
    const qreal w = s * 0.09, a = s * 0.28, b = s * 0.72, lo = s * 0.10, hi = s * 0.90;
    QPainterPath first;
    first.moveTo(a, lo);
    first.lineTo(a, b);
    first.lineTo(hi, b);
    QPainterPath second;
    second.moveTo(lo, a);
    second.lineTo(b, a);
    second.lineTo(b, hi);
    stroke(p, first, colour, w, Qt::SquareCap);
    stroke(p, second, colour, w, Qt::SquareCap);
}

void textIcon(QPainter& p, const QSizeF& size, const QColor& colour) {
    const qreal w = size.width(), h = size.height();
    QPainterPath t;
    t.addRect(QRectF(QPointF(w * 0.12, h * 0.12), QPointF(w * 0.88, h * 0.27)));           // bar
    t.addRect(QRectF(QPointF(w * 0.40, h * 0.12), QPointF(w * 0.60, h * 0.82)));           // stem
    t.addRect(QRectF(QPointF(w * 0.12, h * 0.12), QPointF(w * 0.20, h * 0.36)));           // left serif
    t.addRect(QRectF(QPointF(w * 0.80, h * 0.12), QPointF(w * 0.88, h * 0.36)));           // right serif
    t.addRect(QRectF(QPointF(w * 0.28, h * 0.76), QPointF(w * 0.72, h * 0.88)));           // foot
    t.setFillRule(Qt::WindingFill);
    p.fillPath(t.simplified(), colour);
}

// The curved "take back" arrow; mirrored it is "do again".
void undoArrow(QPainter& p, const QSizeF& size, const QColor& colour, bool mirrored) {
    p.save();
    if (mirrored) {
        p.translate(size.width(), 0);
        p.scale(-1, 1);
    }
    const qreal s = size.width() / 25.0;
    QPainterPath tail;
    tail.moveTo(8 * s, 9 * s);
    tail.lineTo(14 * s, 9 * s);
    tail.arcTo(QRectF(9 * s, 9 * s, 11 * s, 11 * s), 90, -180);
    tail.lineTo(9 * s, 20 * s);
    stroke(p, tail, colour, 2.6 * s);
    QPainterPath head;
    head.moveTo(3.2 * s, 9 * s);
    head.lineTo(9.5 * s, 4.2 * s);
    head.lineTo(9.5 * s, 13.8 * s);
    head.closeSubpath();
    p.setPen(QPen(colour, 1.0 * s, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(colour);
    p.drawPath(head);
    p.restore();
}

void backArrow(QPainter& p, const QSizeF& size, const QColor& colour) {
    const qreal s = size.width() / 25.0;
    QPainterPath path;
    path.moveTo(20.5 * s, 12.5 * s);
    path.lineTo(5.5 * s, 12.5 * s);
    path.moveTo(11.5 * s, 6 * s);
    path.lineTo(5 * s, 12.5 * s);
    path.lineTo(11.5 * s, 19 * s);
    stroke(p, path, colour, 2.8 * s);
}

void floppy(QPainter& p, const QSizeF& size, const QColor& colour) {
    const qreal s = size.width() / 25.0;
    QPainterPath body;
    body.moveTo(6 * s, 3.5 * s);
    body.lineTo(17.5 * s, 3.5 * s);
    body.lineTo(21.5 * s, 7.5 * s);
    body.lineTo(21.5 * s, 19 * s);
    body.quadTo(21.5 * s, 21.5 * s, 19 * s, 21.5 * s);
    body.lineTo(6 * s, 21.5 * s);
    body.quadTo(3.5 * s, 21.5 * s, 3.5 * s, 19 * s);
    body.lineTo(3.5 * s, 6 * s);
    body.quadTo(3.5 * s, 3.5 * s, 6 * s, 3.5 * s);
    p.fillPath(body, colour);
    punch(p, roundedRect(QRectF(7 * s, 13 * s, 11 * s, 6.5 * s), 1 * s));
    punch(p, roundedRect(QRectF(7.5 * s, 3.5 * s, 8.5 * s, 5 * s), 0.6 * s));
    p.fillPath(roundedRect(QRectF(12.8 * s, 4.3 * s, 2 * s, 3.2 * s), 0.4 * s), colour);
}

void circularArrow(QPainter& p, QPointF c, qreal radius, qreal width, const QColor& colour) {
    QPainterPath arc;
    const QRectF box(c.x() - radius, c.y() - radius, 2 * radius, 2 * radius);
    arc.arcMoveTo(box, 60);
    arc.arcTo(box, 60, 250);
    stroke(p, arc, colour, width, Qt::FlatCap);
    // arrowhead at the arc's start, pointing on round the circle
    const qreal angle = qDegreesToRadians(60.0);
    const QPointF end(c.x() + radius * std::cos(angle), c.y() - radius * std::sin(angle));
    const QPointF along(std::sin(angle), std::cos(angle));  // direction of travel (clockwise on screen)
    const QPointF outward(std::cos(angle), -std::sin(angle));
    const qreal h = width * 2.2;
    QPainterPath head;
    head.moveTo(end + along * h * 0.95);
    head.lineTo(end - along * h * 0.25 + outward * h * 0.85);
    head.lineTo(end - along * h * 0.25 - outward * h * 0.85);
    head.closeSubpath();
    p.fillPath(head, colour);
}

void paperPlane(QPainter& p, const QRectF& box, const QColor& colour) {
    auto at = [&](qreal x, qreal y) { return QPointF(box.left() + x * box.width(), box.top() + y * box.height()); };
    QPainterPath plane;
    plane.moveTo(at(0.0, 0.42));
    plane.lineTo(at(1.0, 0.0));
    plane.lineTo(at(0.62, 1.0));
    plane.lineTo(at(0.45, 0.58));
    plane.closeSubpath();
    p.fillPath(plane, colour);
    QPainterPath fold;
    fold.moveTo(at(0.45, 0.58));
    fold.lineTo(at(0.98, 0.03));
    punchStroke(p, fold, box.width() * 0.07, Qt::FlatCap);
}

// ---- composed icons ------------------------------------------------------------

QPointF buttonCentre(const QSizeF& size) {
    return QPointF(size.width() / 2, size.height() / 2 - 1.5);
}
constexpr qreal kButtonRadius = 44;

// The floating buttons: a flat disc with a thin white rim over a soft shadow.
void floatingButton(QPainter& p, const QSizeF& size, const QColor& fill) {
    const QPointF c = buttonCentre(size);
    const QPointF shadowCentre = c + QPointF(0, 3);
    QRadialGradient shadow(shadowCentre, kButtonRadius + 8);
    shadow.setColorAt(0.0, QColor(0, 0, 0, 90));
    shadow.setColorAt(0.82, QColor(0, 0, 0, 70));
    shadow.setColorAt(1.0, QColor(0, 0, 0, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shadow);
    p.drawEllipse(shadowCentre, kButtonRadius + 8, kButtonRadius + 8);
    p.setBrush(Qt::white);
    p.drawEllipse(c, kButtonRadius, kButtonRadius);
    p.setBrush(fill);
    p.drawEllipse(c, kButtonRadius - 3, kButtonRadius - 3);
}

// The brand mark: a speech bubble (feedback) carrying the bug.
void brandMark(QPainter& p, const QRectF& box) {
    const qreal w = box.width(), h = box.height();
    auto at = [&](qreal x, qreal y) { return QPointF(box.left() + x * w, box.top() + y * h); };
    QPainterPath bubble = roundedRect(QRectF(at(0.02, 0.02), at(0.98, 0.80)), std::min(w, h) * 0.20);
    QPainterPath tail;
    tail.moveTo(at(0.20, 0.70));
    tail.lineTo(at(0.44, 0.70));
    tail.lineTo(at(0.20, 0.98));
    tail.closeSubpath();
    bubble = bubble.united(tail);
    p.fillPath(bubble, kBrand);
    onLayer(p, [&](QPainter& q) { bug(q, at(0.5, 0.41), h * 0.58, Qt::white); });
}

// A round badge with a white "!" that stands clear of what is under it.
void alertBadge(QPainter& p, QPointF c, qreal radius, const QColor& colour) {
    punch(p, circle(c, radius * 1.22));
    p.fillPath(circle(c, radius), colour);
    p.fillPath(roundedRect(QRectF(c.x() - radius * 0.13, c.y() - radius * 0.62, radius * 0.26, radius * 0.78),
                           radius * 0.13),
               Qt::white);
    p.fillPath(circle(QPointF(c.x(), c.y() + radius * 0.45), radius * 0.15), Qt::white);
}

void connectionError(QPainter& p, const QSizeF&) {
    QPainterPath cloud = circle(QPointF(128, 102), 52);
    cloud = cloud.united(circle(QPointF(78, 128), 36));
    cloud = cloud.united(circle(QPointF(180, 124), 40));
    cloud = cloud.united(roundedRect(QRectF(42, 116, 178, 48), 24));
    p.fillPath(cloud, kPale);
    // a crack through the cloud: the link is broken
    QPainterPath crack;
    crack.moveTo(142, 44);
    crack.lineTo(118, 104);
    crack.lineTo(146, 110);
    crack.lineTo(120, 172);
    punchStroke(p, crack, 10, Qt::FlatCap);
    // signal bars below, the last ones gone
    const qreal base = 222;
    p.fillPath(roundedRect(QRectF(92, base - 18, 13, 18), 3), kPale);
    p.fillPath(roundedRect(QRectF(112, base - 30, 13, 30), 3), kPale);
    QPainterPath missing;
    missing.addRoundedRect(QRectF(132, base - 42, 13, 42), 3, 3);
    missing.addRoundedRect(QRectF(152, base - 54, 13, 54), 3, 3);
    stroke(p, missing, kPale, 2.5);
    alertBadge(p, QPointF(196, 190), 26, kRed);
}

void refusal(QPainter& p, const QSizeF& size) {
    const qreal cx = size.width() / 2;
    QPainterPath shackle;
    shackle.moveTo(cx - 44, 128);
    shackle.lineTo(cx - 44, 88);
    shackle.arcTo(QRectF(cx - 44, 44, 88, 88), 180, -180);
    shackle.lineTo(cx + 44, 128);
    stroke(p, shackle, kPale, 18, Qt::FlatCap);
    p.fillPath(roundedRect(QRectF(cx - 72, 118, 144, 112), 20), kPale);
    QPainterPath keyhole = circle(QPointF(cx, 160), 13);
    QPainterPath slot;
    slot.moveTo(cx - 6, 166);
    slot.lineTo(cx + 6, 166);
    slot.lineTo(cx + 9, 198);
    slot.lineTo(cx - 9, 198);
    slot.closeSubpath();
    punch(p, keyhole.united(slot));
    alertBadge(p, QPointF(cx + 62, 214), 24, kAmber);
}

void drawIcon(const QString& key, QPainter& p, const QSizeF& size) {
    const QRectF all(QPointF(0, 0), size);
    const QPointF mid = all.center();
    if (key == "bv_button") {
        floatingButton(p, size, kBrand);
        onLayer(p, [&](QPainter& q) { bug(q, buttonCentre(size) + QPointF(0, 2), 50, Qt::white); });
    } else if (key == "bv_button_unactive") {
        floatingButton(p, size, kInactive);
        onLayer(p, [&](QPainter& q) { bug(q, buttonCentre(size) + QPointF(0, 2), 50, Qt::white); });
    } else if (key == "bv_button_loading") {
        floatingButton(p, size, kBrandLight);
        p.save();
        p.setOpacity(0.45);
        onLayer(p, [&](QPainter& q) { bug(q, buttonCentre(size) + QPointF(0, 2), 50, Qt::white); });
        p.restore();
        const QPointF c = buttonCentre(size);
        const QRectF ring(c.x() - 32, c.y() - 32, 64, 64);
        QPainterPath track;
        track.addEllipse(ring);
        stroke(p, track, QColor(255, 255, 255, 80), 5);
        QPainterPath arc;
        arc.arcMoveTo(ring, 90);
        arc.arcTo(ring, 90, -110);
        stroke(p, arc, Qt::white, 5);
    } else if (key == "screenshot_button") {
        floatingButton(p, size, kBrand);
        onLayer(p, [&](QPainter& q) { camera(q, buttonCentre(size) + QPointF(0, 1), 46, Qt::white); });
    } else if (key == "screenshot_button_unactive") {
        floatingButton(p, size, kInactive);
        onLayer(p, [&](QPainter& q) { camera(q, buttonCentre(size) + QPointF(0, 1), 46, Qt::white); });
    } else if (key == "icon_pencil") {
        pencil(p, mid, 40, Qt::white);
    } else if (key == "icon_marker") {
        marker(p, size, Qt::white);
    } else if (key == "icon_text") {
        textIcon(p, size, Qt::white);
    } else if (key == "icon_crop") {
        cropIcon(p, size, Qt::white);
    } else if (key == "icon_arrow") {
        arrowIcon(p, size, Qt::white);
    } else if (key == "undo_act") {
        undoArrow(p, size, Qt::white, false);
    } else if (key == "undo") {
        undoArrow(p, size, kDisabledGlyph, false);
    } else if (key == "redo_act") {
        undoArrow(p, size, Qt::white, true);
    } else if (key == "redo") {
        undoArrow(p, size, kDisabledGlyph, true);
    } else if (key == "back") {
        backArrow(p, size, Qt::white);
    } else if (key == "save") {
        floppy(p, size, Qt::white);
    } else if (key == "refresh") {
        p.fillPath(circle(mid, 34), kBrand);
        circularArrow(p, mid + QPointF(1, 2), 17, 6, Qt::white);
    } else if (key == "edit_screenshot_btn@2x~ipad") {
        p.fillPath(circle(mid, 34.5), Qt::white);
        p.fillPath(circle(mid, 31), kBrand);
        onLayer(p, [&](QPainter& q) { pencil(q, mid, 36, Qt::white); });
    } else if (key == "sign") {
        brandMark(p, all);
    } else if (key == "logo") {
        brandMark(p, QRectF(1, 1, 44, 37));
        p.fillPath(textIn(QStringLiteral("brelvo"), QRectF(54, 3, 180, 33)), Qt::white);
    } else if (key == "autorisation_logo") {
        brandMark(p, QRectF(35, 12, 180, 160));
        p.fillPath(textIn(QStringLiteral("brelvo"), QRectF(52, 190, 146, 46)), Qt::white);
    } else if (key == "connection_error") {
        connectionError(p, size);
    } else if (key == "error_img@2x") {
        refusal(p, size);
    } else if (key == "offline") {
        p.fillPath(roundedRect(all, size.height() / 2), kRed);
        p.fillPath(textIn(QStringLiteral("OFFLINE"), QRectF(7, 5.5, size.width() - 14, size.height() - 11)),
                   Qt::white);
    } else if (key == "cash_data") {
        // three stacked discs: data kept on the device
        const qreal cx = size.width() / 2, rx = 21, ry = 6.5, top = 8, bottom = 36;
        QPainterPath drum;
        drum.addRect(QRectF(cx - rx, top, 2 * rx, bottom - top));
        QPainterPath lid;
        lid.addEllipse(QPointF(cx, top), rx, ry);
        QPainterPath base;
        base.addEllipse(QPointF(cx, bottom), rx, ry);
        p.fillPath(drum.united(lid).united(base), kBrand);
        for (qreal y : {top, top + 9.5, top + 19}) {
            QPainterPath rim;
            const QRectF box(cx - rx, y - ry, 2 * rx, 2 * ry);
            rim.arcMoveTo(box, 180);
            rim.arcTo(box, 180, 180);
            punchStroke(p, rim, 2.2, Qt::FlatCap);
        }
        QPainterPath shine;
        shine.addEllipse(QPointF(cx, top), rx - 1.1, ry - 1.1);
        p.fillPath(shine, kBrandLight);
    } else if (key == "send_issue") {
        p.fillPath(roundedRect(all.adjusted(1, 2, -1, -2), 20), kBrand);
        onLayer(p, [&](QPainter& q) { paperPlane(q, QRectF(13, 11, 24, 21), Qt::white); });
        p.fillPath(textIn(QStringLiteral("SEND"), QRectF(43, 15, 38, 14)), Qt::white);
    } else if (key == "button_edit_for_summaru_textField") {
        const QPainterPath field = roundedRect(all.adjusted(1.5, 1.5, -1.5, -1.5), 9);
        p.fillPath(field, kFieldFill);
        stroke(p, field, kFieldLine, 1.5);
        onLayer(p, [&](QPainter& q) { pencil(q, QPointF(24, 23), 22, kFieldGlyph); });
        p.fillPath(textIn(QStringLiteral("Edit"), QRectF(42, 15, 36, 16), QFont::DemiBold), kFieldGlyph);
    } else {
        std::fprintf(stderr, "no drawing for %s\n", qPrintable(key));
    }
}

// The atlas at a device pixel ratio: every rectangle of the table scaled by
// it, each icon drawn afresh at that size, so that no scale is a blown-up copy
// of another.
QImage paintAtlas(int scale) {
    QImage atlas(kAtlasWidth * scale, kAtlasHeight * scale, QImage::Format_ARGB32_Premultiplied);
    atlas.fill(Qt::transparent);
    for (const brelvo::AtlasSlot& slot : brelvo::kAtlasSlots) {
        const QSize size(slot.w, slot.h);
        QImage big(size * scale * kSupersample, QImage::Format_ARGB32_Premultiplied);
        big.fill(Qt::transparent);
        {
            QPainter p(&big);
            p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
            p.scale(scale * kSupersample, scale * kSupersample);
            drawIcon(QString::fromLatin1(slot.key), p, QSizeF(size));
        }
        const QImage icon = big.scaled(size * scale, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QPainter p(&atlas);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(QPoint(slot.x, slot.y) * scale, icon);
    }
    return atlas;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

QString pngName(int scale) {
    return scale == 1 ? QStringLiteral("atlas.png") : QStringLiteral("atlas@%1x.png").arg(scale);
}

// Each icon of each drawing as its own byte array: its premultiplied RGBA
// pixels, compressed by qCompress. An icon decodes from its own few bytes,
// without the rest of the atlas and without an image format reader.
QByteArray dataSource(const QList<QImage>& atlases) {
    QByteArray out;
    out += "// Generated by resources/atlas/make_atlas.cpp from resources/atlas/atlas*.png; do not edit.\n"
           "// To regenerate: cmake --build <build> --target brelvo-make-atlas, then run\n"
           "//   <build>/resources/atlas/brelvo-make-atlas <source root>              (repaint and rewrite)\n"
           "//   <build>/resources/atlas/brelvo-make-atlas <source root> --data-only  (rewrite from the PNGs)\n"
           "\n"
           "#include \"ui/images/BrelvoImageStorageData.h\"\n"
           "\n"
           "namespace brelvo::atlasdata {\n"
           "namespace {\n";
    QByteArray table = "const EmbeddedIcon kIcons[kScaleCount][kAtlasSlots.size()] = {\n";
    for (int i = 0; i < atlases.size(); ++i) {
        const int scale = i + 1;
        table += "    {\n";
        for (std::size_t n = 0; n < brelvo::kAtlasSlots.size(); ++n) {
            const brelvo::AtlasSlot& slot = brelvo::kAtlasSlots[n];
            const QImage icon = atlases[i]
                                    .copy(QRect(slot.x * scale, slot.y * scale, slot.w * scale, slot.h * scale))
                                    .convertToFormat(QImage::Format_RGBA8888_Premultiplied);
            QByteArray pixels;
            for (int y = 0; y < icon.height(); ++y)
                pixels.append(reinterpret_cast<const char*>(icon.constScanLine(y)), icon.width() * 4);
            const QByteArray packed = qCompress(pixels, 9);
            const QByteArray name = "k" + QByteArray::number(scale) + "x" + QByteArray::number(n);
            out += "\n// " + QByteArray(slot.key) + " at " + QByteArray::number(scale) + "x, " +
                   QByteArray::number(packed.size()) + " bytes compressed.\n";
            out += "const unsigned char " + name + "[] = {";
            for (qsizetype at = 0; at < packed.size(); ++at) {
                if (at % 20 == 0) out += "\n   ";
                out += " " + QByteArray::number(static_cast<unsigned char>(packed[at])) + ",";
            }
            out += "\n};\n";
            table += "        {" + QByteArray::number(icon.width()) + ", " + QByteArray::number(icon.height()) + ", " +
                     name + ", sizeof " + name + "},\n";
        }
        table += "    },\n";
    }
    out += "\n}  // namespace\n\n" + table + "};\n\n}  // namespace brelvo::atlasdata\n";
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2 || args.size() > 3 || (args.size() == 3 && args[2] != QLatin1String("--data-only"))) {
        std::fprintf(stderr, "usage: %s <source-root> [--data-only]\n", argv[0]);
        return 2;
    }
    const QDir root(args[1]);
    const QString sourcePath = root.filePath(QStringLiteral("src/ui/images/BrelvoImageStorageData.cpp"));

    QList<QImage> atlases;
    for (int scale = 1; scale <= kScales; ++scale) {
        const QString pngPath = root.filePath(QStringLiteral("resources/atlas/") + pngName(scale));
        QByteArray png;
        if (args.size() == 3) {
            QFile file(pngPath);
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(pngPath));
                return 1;
            }
            png = file.readAll();
            const QImage check = QImage::fromData(png, "PNG");
            if (check.size() != QSize(kAtlasWidth, kAtlasHeight) * scale) {
                std::fprintf(stderr, "%s is not a %d x %d PNG\n", qPrintable(pngPath), kAtlasWidth * scale,
                             kAtlasHeight * scale);
                return 1;
            }
        } else {
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            if (!paintAtlas(scale).convertToFormat(QImage::Format_ARGB32).save(&buffer, "PNG", 0)) {
                std::fprintf(stderr, "cannot encode the atlas\n");
                return 1;
            }
            if (!writeFile(pngPath, png)) return 1;
        }
        std::printf("%s: %lld bytes\n", qPrintable(pngPath), static_cast<long long>(png.size()));
        atlases.append(QImage::fromData(png, "PNG").convertToFormat(QImage::Format_ARGB32));
    }
    if (!writeFile(sourcePath, dataSource(atlases))) return 1;
    std::printf("%s written\n", qPrintable(sourcePath));
    return 0;
}
