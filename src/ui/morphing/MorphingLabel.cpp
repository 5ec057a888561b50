#include "ui/morphing/MorphingLabel.h"

#include "ui/morphing/DisplayLink.h"
#include "ui/morphing/EmitterView.h"
#include "ui/morphing/MorphingLabelAccessible.h"
#include "ui/morphing/effects/AnvilEffect.h"
#include "ui/morphing/effects/BurnEffect.h"
#include "ui/morphing/effects/EvaporateEffect.h"
#include "ui/morphing/effects/FallEffect.h"
#include "ui/morphing/effects/PixelateEffect.h"
#include "ui/morphing/effects/SparkleEffect.h"

#include <QAccessible>
#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QScreen>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

namespace corvane {

namespace {

constexpr qreal kMinimumSize = 0.0001;
// The frame budget rounds up, but float noise of a ratio like 0.6 / (1 / 60) must not add a frame.
constexpr float kFrameNoise = 1e-3f;
constexpr int kExtraFrames = 5;
// Plenty for status texts; a label fed ever new text starts its cache over rather than grow.
constexpr qsizetype kMaxShapes = 512;
// One point is one logical pixel here, so the default size is given in pixels.
constexpr int kDefaultFontPixels = 15;

int framesFor(float seconds, float frameRate)
{
    return static_cast<int>(std::ceil(seconds / frameRate - kFrameNoise));
}

bool drawsNewCharacter(CharacterDiffResult::Kind kind)
{
    return kind != CharacterDiffResult::Kind::Move && kind != CharacterDiffResult::Kind::Same;
}

} // namespace

MorphingLabel::MorphingLabel(QWidget *parent) : QWidget(parent)
{
    MorphingLabelAccessible::install();
    // A parent given here never reaches event() as a parent change.
    if (parent)
        didMoveToSuperview();
}

MorphingLabel::~MorphingLabel() = default;

void MorphingLabel::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_previousText = m_text;
    const QStringList previousCharacters = characters(m_previousText);
    m_diffResults = CharacterDiff::between(
        previousCharacters, text.isNull() ? std::nullopt : std::optional(characters(text)));
    m_text = text;
    m_morphingProgress = 0.0f;
    m_currentFrame = 0;
    m_totalFrames = 0;
    setNeedsLayout();
    updateGeometry();
    update();
    announceText();

    if (!m_morphingEnabled || m_previousText == m_text)
        return;

    if (!m_displayLink)
        m_displayLink = std::make_unique<DisplayLink>([this] { displayFrameTick(); });
    if (const QScreen *display = screen(); display && display->refreshRate() > 0)
        m_displayLink->setFrameDuration(1.0 / display->refreshRate());
    m_displayLink->setPaused(false);

    const auto start =
        m_startClosures.constFind(MorphingEffects::key(m_morphingEffect, MorphingPhases::start));
    if (start != m_startClosures.cend()) {
        (*start)();
    } else if (m_delegate && m_delegate->morphingDidStart) {
        m_delegate->morphingDidStart(this);
    }
}

void MorphingLabel::announceText()
{
    // A screen reader hears the new text at once, not the characters passing through a morph.
    if (accessibleName().isEmpty()) {
        QAccessibleEvent nameChanged(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&nameChanged);
    }
    QAccessibleTextUpdateEvent textChanged(this, 0, m_previousText, m_text);
    QAccessible::updateAccessibility(&textChanged);
}

QFont MorphingLabel::font() const
{
    if (testAttribute(Qt::WA_SetFont))
        return QWidget::font();
    QFont systemFont = QWidget::font();
    systemFont.setPixelSize(kDefaultFontPixels);
    return systemFont;
}

qreal MorphingLabel::fontSize() const
{
    const QFont labelFont = font();
    return labelFont.pixelSize() > 0 ? labelFont.pixelSize() : labelFont.pointSizeF();
}

void MorphingLabel::setAlignment(Qt::Alignment alignment)
{
    m_alignment = alignment;
    setNeedsLayout();
    update();
}

QColor MorphingLabel::textColor() const
{
    return palette().color(foregroundRole());
}

EmitterView *MorphingLabel::emitterView()
{
    if (!m_emitterView) {
        m_emitterView = new EmitterView(this);
        m_emitterView->setGeometry(rect());
        m_emitterView->show();
    }
    return m_emitterView;
}

void MorphingLabel::setNeedsLayout()
{
    m_previousGlyphs = layoutCharacters(characters(m_previousText));
    m_newGlyphs = layoutCharacters(characters(m_text));
    m_previousRects.clear();
    for (const Glyph &glyph : std::as_const(m_previousGlyphs))
        m_previousRects.append(glyph.rect);
    m_newRects.clear();
    for (const Glyph &glyph : std::as_const(m_newGlyphs))
        m_newRects.append(glyph.rect);
}

QList<MorphingLabel::Glyph> MorphingLabel::layoutCharacters(const QStringList &characters)
{
    const QFont labelFont = font();
    m_charHeight = shapeOf(QStringLiteral("Leg"), labelFont).size.height();
    const qreal top = (height() - m_charHeight) / 2;

    QList<Glyph> glyphs;
    glyphs.reserve(characters.size());
    qreal offset = 0;
    for (const QString &character : characters) {
        const Shape &shape = shapeOf(character, labelFont);
        glyphs.append({character, QRectF(QPointF(offset, top), shape.size), shape.runs});
        offset += shape.size.width();
    }
    m_totalWidth = static_cast<float>(offset);

    qreal shift = 0;
    if (m_alignment & Qt::AlignHCenter)
        shift = (width() - m_totalWidth) / 2;
    else if (m_alignment & Qt::AlignRight)
        shift = width() - m_totalWidth;
    for (Glyph &glyph : glyphs)
        glyph.rect.translate(shift, 0);
    return glyphs;
}

const MorphingLabel::Shape &MorphingLabel::shapeOf(const QString &character, const QFont &font)
{
    if (m_shapesFont != font || m_shapes.size() >= kMaxShapes) {
        m_shapes.clear();
        m_shapesFont = font;
    }
    auto it = m_shapes.find(character);
    if (it != m_shapes.end())
        return *it;

    QTextLayout layout(character, font);
    layout.setCacheEnabled(true);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    Shape shape{QSizeF(line.horizontalAdvance(), line.height()), layout.glyphRuns()};
    // A fallback font may be taller than the label font; every character still sits on the
    // label font's baseline, so glyph positions are kept relative to it.
    for (QGlyphRun &run : shape.runs) {
        QList<QPointF> positions = run.positions();
        for (QPointF &position : positions)
            position.ry() -= line.ascent();
        run.setPositions(positions);
    }
    return *m_shapes.insert(character, shape);
}

void MorphingLabel::didMoveToSuperview()
{
    static const QHash<QString, void (MorphingLabel::*)()> loaders{
        {QStringLiteral("EvaporateLoad"), &MorphingLabel::EvaporateLoad},
        {QStringLiteral("FallLoad"), &MorphingLabel::FallLoad},
        {QStringLiteral("PixelateLoad"), &MorphingLabel::PixelateLoad},
        {QStringLiteral("SparkleLoad"), &MorphingLabel::SparkleLoad},
        {QStringLiteral("BurnLoad"), &MorphingLabel::BurnLoad},
        {QStringLiteral("AnvilLoad"), &MorphingLabel::AnvilLoad},
    };
    for (const QString &name : MorphingEffects::allValues()) {
        const auto loader = loaders.constFind(name + QStringLiteral("Load"));
        if (loader != loaders.cend())
            (this->**loader)();
    }
}

void MorphingLabel::EvaporateLoad()
{
    EvaporateEffect::load(*this);
}

void MorphingLabel::FallLoad()
{
    FallEffect::load(*this);
}

void MorphingLabel::PixelateLoad()
{
    PixelateEffect::load(*this);
}

void MorphingLabel::SparkleLoad()
{
    SparkleEffect::load(*this);
}

void MorphingLabel::BurnLoad()
{
    BurnEffect::load(*this);
}

void MorphingLabel::AnvilLoad()
{
    AnvilEffect::load(*this);
}

void MorphingLabel::computeFrameBudget()
{
    // Seconds per tick: the screen's frame time times the screen frames each tick stands for.
    const float frameRate =
        static_cast<float>(m_displayLink->frameDuration() * m_displayLink->frameInterval());
    // A zero duration still takes one frame, so progress never divides by zero.
    m_totalFrames = std::max(1, framesFor(m_morphingDuration, frameRate));
    m_totalDelayFrames = std::max(
        0, framesFor(static_cast<float>(m_newGlyphs.size()) * m_morphingCharacterDelay, frameRate));
}

void MorphingLabel::displayFrameTick()
{
    if (!m_displayLink)
        return;
    if (m_displayLink->frameDuration() > 0 && m_totalFrames == 0)
        computeFrameBudget();
    ++m_currentFrame;

    if (m_previousText != m_text &&
        m_currentFrame < m_totalFrames + m_totalDelayFrames + kExtraFrames) {
        m_morphingProgress += 1.0f / static_cast<float>(m_totalFrames);
        const auto skip = m_skipFramesClosures.constFind(
            MorphingEffects::key(m_morphingEffect, MorphingPhases::skipFrames));
        if (skip != m_skipFramesClosures.cend()) {
            if (++m_skipFramesCount > (*skip)()) {
                m_skipFramesCount = 0;
                update();
            }
        } else {
            update();
        }
        if (m_delegate && m_delegate->morphingOnProgress)
            m_delegate->morphingOnProgress(this, m_morphingProgress);
    } else {
        m_displayLink->setPaused(true);
        // The last frame must show the finished text even when frames were being skipped.
        update();
        if (m_delegate && m_delegate->morphingDidComplete)
            m_delegate->morphingDidComplete(this);
    }
}

float MorphingLabel::easeOutQuint(float t, float start, float change)
{
    const float u = t - 1.0f;
    return change * (u * u * u * u * u + 1.0f) + start;
}

CharacterLimbo MorphingLabel::limboOfOriginalCharacter(const QString &character, int index,
                                                       float progress) const
{
    const qreal pointSize = fontSize();
    CharacterLimbo limbo{character, m_previousRects.value(index), 1.0, pointSize, 0.0};
    const CharacterDiffResult result =
        m_diffResults ? m_diffResults->results.value(index, CharacterDiffResult::deleted())
                      : CharacterDiffResult::deleted();
    const auto moveTowards = [&](int target) {
        const auto from = static_cast<float>(limbo.rect.x());
        const auto to = static_cast<float>(m_newRects.value(target).x());
        limbo.rect.moveLeft(easeOutQuint(progress, from, to - from));
    };

    switch (result.kind()) {
    case CharacterDiffResult::Kind::Move:
    case CharacterDiffResult::Kind::MoveAndAdd:
        moveTowards(index + result.offset());
        break;
    case CharacterDiffResult::Kind::Same:
        moveTowards(index);
        break;
    default: {
        const auto disappear = m_effectClosures.constFind(
            MorphingEffects::key(m_morphingEffect, MorphingPhases::disappear));
        if (disappear != m_effectClosures.cend())
            return (*disappear)(character, index, progress);
        const qreal shrink = easeOutQuint(progress, 0.0f, static_cast<float>(pointSize));
        limbo.size = std::max(pointSize - shrink, kMinimumSize);
        limbo.alpha = 1.0 - progress;
        limbo.rect.translate(0, pointSize - limbo.size);
        break;
    }
    }
    return limbo;
}

CharacterLimbo MorphingLabel::limboOfNewCharacter(const QString &character, int index,
                                                  float progress) const
{
    const auto appear =
        m_effectClosures.constFind(MorphingEffects::key(m_morphingEffect, MorphingPhases::appear));
    if (appear != m_effectClosures.cend())
        return (*appear)(character, index, progress);
    const qreal pointSize = fontSize();
    CharacterLimbo limbo{character, m_newRects.value(index), m_morphingProgress, pointSize, 0.0};
    limbo.size =
        std::max<qreal>(easeOutQuint(progress, 0.0f, static_cast<float>(pointSize)), kMinimumSize);
    limbo.rect.translate(0, pointSize - limbo.size);
    return limbo;
}

QList<MorphingLabel::Frame> MorphingLabel::framesOfCharacters() const
{
    QList<Frame> frames;
    frames.reserve(m_previousGlyphs.size() + m_newGlyphs.size());
    const auto custom = m_progressClosures.constFind(
        MorphingEffects::key(m_morphingEffect, MorphingPhases::progress));
    const bool hasCustom = custom != m_progressClosures.cend();
    const auto withCache = [](const CharacterLimbo &limbo, const Glyph &glyph) {
        return Frame{limbo, limbo.character == glyph.character ? &glyph.runs : nullptr};
    };

    for (int i = 0; i < m_previousGlyphs.size(); ++i) {
        const float progress =
            hasCustom ? (*custom)(i, m_morphingProgress, false)
                      : std::clamp(m_morphingProgress + m_morphingCharacterDelay * i, 0.0f, 1.0f);
        const Glyph &glyph = m_previousGlyphs[i];
        frames.append(withCache(limboOfOriginalCharacter(glyph.character, i, progress), glyph));
    }
    if (!m_diffResults)
        return frames;

    const qsizetype count = std::min(m_newGlyphs.size(), m_diffResults->results.size());
    for (int i = 0; i < count; ++i) {
        if (m_diffResults->skipDrawingResults.value(i) ||
            !drawsNewCharacter(m_diffResults->results[i].kind()))
            continue;
        const float progress =
            hasCustom ? (*custom)(i, m_morphingProgress, true)
                      : std::clamp(m_morphingProgress - m_morphingCharacterDelay * i, 0.0f, 1.0f);
        const Glyph &glyph = m_newGlyphs[i];
        frames.append(withCache(limboOfNewCharacter(glyph.character, i, progress), glyph));
    }
    return frames;
}

QList<CharacterLimbo> MorphingLabel::limboOfCharacters() const
{
    QList<CharacterLimbo> limbos;
    for (const Frame &frame : framesOfCharacters())
        limbos.append(frame.limbo);
    return limbos;
}

void MorphingLabel::drawTextInRect(QPainter &painter, const QRectF &rect) const
{
    const QFont labelFont = font();
    const QColor color = textColor();
    const QList<Frame> frames = m_morphingEnabled ? framesOfCharacters() : QList<Frame>();
    if (frames.isEmpty()) {
        painter.setFont(labelFont);
        painter.setPen(color);
        painter.drawText(rect, static_cast<int>(m_alignment | Qt::AlignVCenter), m_text);
        return;
    }

    const auto draw =
        m_drawingClosures.constFind(MorphingEffects::key(m_morphingEffect, MorphingPhases::draw));
    const bool hasDraw = draw != m_drawingClosures.cend();
    painter.setFont(labelFont);
    const qreal ascent = QFontMetricsF(labelFont).ascent();
    const qreal size = fontSize();
    for (const Frame &frame : frames) {
        if (hasDraw && (*draw)(painter, frame.limbo))
            continue;
        drawCharacter(painter, frame, size, ascent, color);
    }
}

void MorphingLabel::drawCharacter(QPainter &painter, const Frame &frame, qreal fontSize,
                                  qreal ascent, const QColor &color) const
{
    const CharacterLimbo &limbo = frame.limbo;
    const qreal alpha = std::clamp<qreal>(limbo.alpha, 0.0, 1.0);
    if (alpha <= 0.0 || limbo.size <= kMinimumSize)
        return;
    // Alpha goes through the pen: painter opacity makes text rendering many times slower.
    QColor pen = color;
    pen.setAlphaF(static_cast<float>(color.alphaF() * alpha));
    painter.setPen(pen);

    // Another size is the label font scaled about the character's top left corner, so the
    // cached layout serves every size.
    const qreal scale = limbo.size / fontSize;
    const QTransform base = painter.transform();
    if (!qFuzzyCompare(scale, 1.0)) {
        painter.setTransform(QTransform(scale, 0, 0, scale, limbo.rect.x(), limbo.rect.y()) * base);
    } else {
        painter.translate(limbo.rect.topLeft());
    }
    const QPointF baseline(0, ascent);
    if (frame.runs) {
        for (const QGlyphRun &run : *frame.runs)
            painter.drawGlyphRun(baseline, run);
    } else {
        painter.drawText(baseline, limbo.character);
    }
    painter.setTransform(base);
}

QSize MorphingLabel::sizeHint() const
{
    const QFontMetricsF metrics(font());
    const QSizeF size = metrics.size(Qt::TextSingleLine, m_text);
    return QSize(static_cast<int>(std::ceil(size.width())),
                 static_cast<int>(std::ceil(metrics.height())));
}

QSize MorphingLabel::minimumSizeHint() const
{
    return sizeHint();
}

bool MorphingLabel::event(QEvent *event)
{
    if (event->type() == QEvent::ParentChange && parentWidget())
        didMoveToSuperview();
    return QWidget::event(event);
}

void MorphingLabel::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange) {
        setNeedsLayout();
        updateGeometry();
    }
    QWidget::changeEvent(event);
}

void MorphingLabel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    setNeedsLayout();
    if (m_emitterView)
        m_emitterView->setGeometry(rect());
}

void MorphingLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    drawTextInRect(painter, QRectF(rect()));
}

} // namespace corvane
