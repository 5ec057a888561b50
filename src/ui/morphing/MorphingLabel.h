#pragma once

#include "ui/morphing/CharacterDiff.h"
#include "ui/morphing/CharacterLimbo.h"
#include "ui/morphing/MorphingEffect.h"
#include "ui/morphing/MorphingLabelDelegate.h"

#include <QGlyphRun>
#include <QHash>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

namespace corvane {

class DisplayLink;
class EmitterView;

// A label that morphs each new text in character by character. Effects plug in through the
// registries, keyed by effect name + phase name; without an entry the built-in scale behaviour
// applies. Ticks come from a display link that exists only once a morph has run and is paused
// whenever the label is not morphing. Assistive technology reads it as a static text holding
// the text it morphs towards, and hears each change at once.
class MorphingLabel final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MorphingLabel)

public:
    using StartClosure = std::function<void()>;
    using EffectClosure =
        std::function<CharacterLimbo(const QString &character, int index, float progress)>;
    // Extra drawing of one character; true means the default drawing of it is skipped.
    using DrawingClosure = std::function<bool(QPainter &painter, const CharacterLimbo &limbo)>;
    using ProgressClosure = std::function<float(int index, float progress, bool isNewChar)>;
    using SkipFramesClosure = std::function<int()>;

    explicit MorphingLabel(QWidget *parent = nullptr);
    ~MorphingLabel() override;

    // A null text is an absent one.
    QString text() const { return m_text; }
    void setText(const QString &text);

    // The label's font, or the system font at 15 (pixels, which are points here) when none was
    // set on it.
    QFont font() const;
    // The size of font() in the unit it was set in: pixels for a pixel-sized font, else points.
    // Character sizes of the limbos are in this unit.
    qreal fontSize() const;
    Qt::Alignment alignment() const { return m_alignment; }
    void setAlignment(Qt::Alignment alignment);
    QColor textColor() const;

    float morphingProgress() const { return m_morphingProgress; }
    float morphingDuration() const { return m_morphingDuration; }
    void setMorphingDuration(float seconds) { m_morphingDuration = seconds; }
    float morphingCharacterDelay() const { return m_morphingCharacterDelay; }
    void setMorphingCharacterDelay(float seconds) { m_morphingCharacterDelay = seconds; }
    bool morphingEnabled() const { return m_morphingEnabled; }
    void setMorphingEnabled(bool enabled) { m_morphingEnabled = enabled; }
    MorphingLabelDelegate *delegate() const { return m_delegate; }
    void setDelegate(MorphingLabelDelegate *delegate) { m_delegate = delegate; }
    MorphingEffect morphingEffect() const { return m_morphingEffect; }
    void setMorphingEffect(MorphingEffect effect) { m_morphingEffect = effect; }

    QHash<QString, StartClosure> &startClosures() { return m_startClosures; }
    QHash<QString, EffectClosure> &effectClosures() { return m_effectClosures; }
    QHash<QString, DrawingClosure> &drawingClosures() { return m_drawingClosures; }
    QHash<QString, ProgressClosure> &progressClosures() { return m_progressClosures; }
    QHash<QString, SkipFramesClosure> &skipFramesClosures() { return m_skipFramesClosures; }

    const std::optional<CharacterDiff> &diffResults() const { return m_diffResults; }
    QString previousText() const { return m_previousText; }
    int currentFrame() const { return m_currentFrame; }
    int totalFrames() const { return m_totalFrames; }
    int totalDelayFrames() const { return m_totalDelayFrames; }
    float totalWidth() const { return m_totalWidth; }
    const QList<QRectF> &previousRects() const { return m_previousRects; }
    const QList<QRectF> &newRects() const { return m_newRects; }
    qreal charHeight() const { return m_charHeight; }
    int skipFramesCount() const { return m_skipFramesCount; }
    // Null until the first morph.
    DisplayLink *displayLink() const { return m_displayLink.get(); }
    // Created on first use, covering the label.
    EmitterView *emitterView();

    // Re-measures the character rectangles of the previous and the current text.
    void setNeedsLayout();
    // Lets every effect register its behaviour; runs whenever the label gets a parent.
    void didMoveToSuperview();
    // One display refresh.
    void displayFrameTick();

    // Every character to draw in the current frame: old characters first, then new ones.
    QList<CharacterLimbo> limboOfCharacters() const;
    CharacterLimbo limboOfOriginalCharacter(const QString &character, int index,
                                            float progress) const;
    CharacterLimbo limboOfNewCharacter(const QString &character, int index, float progress) const;
    // Draws the current frame into `rect`.
    void drawTextInRect(QPainter &painter, const QRectF &rect) const;

    // Ease-out quintic from `start` by `change` at time `t` in [0, 1].
    static float easeOutQuint(float t, float start = 0.0f, float change = 1.0f);

    void EvaporateLoad();
    void FallLoad();
    void PixelateLoad();
    void SparkleLoad();
    void BurnLoad();
    void AnvilLoad();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    struct Glyph
    {
        QString character;
        QRectF rect;
        // Shaped once per layout, positioned relative to the baseline.
        QList<QGlyphRun> runs;
    };
    // A character shaped with the label font: its own size and glyphs on the baseline.
    struct Shape
    {
        QSizeF size;
        QList<QGlyphRun> runs;
    };
    // A limbo with the cached layout of its character, when the character is unchanged.
    struct Frame
    {
        CharacterLimbo limbo;
        const QList<QGlyphRun> *runs;
    };

    QList<Glyph> layoutCharacters(const QStringList &characters);
    const Shape &shapeOf(const QString &character, const QFont &font);
    QList<Frame> framesOfCharacters() const;
    void drawCharacter(QPainter &painter, const Frame &frame, qreal fontSize, qreal ascent,
                       const QColor &color) const;
    void computeFrameBudget();
    void announceText();

    float m_morphingProgress = 0.0f;
    float m_morphingDuration = 0.6f;
    float m_morphingCharacterDelay = 0.026f;
    bool m_morphingEnabled = true;
    QPointer<MorphingLabelDelegate> m_delegate;
    MorphingEffect m_morphingEffect = MorphingEffect::scale;
    QHash<QString, StartClosure> m_startClosures;
    QHash<QString, EffectClosure> m_effectClosures;
    QHash<QString, DrawingClosure> m_drawingClosures;
    QHash<QString, ProgressClosure> m_progressClosures;
    QHash<QString, SkipFramesClosure> m_skipFramesClosures;
    std::optional<CharacterDiff> m_diffResults;
    QString m_previousText;
    int m_currentFrame = 0;
    int m_totalFrames = 0;
    int m_totalDelayFrames = 0;
    float m_totalWidth = 0.0f;
    QList<QRectF> m_previousRects;
    QList<QRectF> m_newRects;
    qreal m_charHeight = 0.0;
    int m_skipFramesCount = 0;
    std::unique_ptr<DisplayLink> m_displayLink;
    QPointer<EmitterView> m_emitterView;

    QString m_text;
    Qt::Alignment m_alignment = Qt::AlignLeft;
    QList<Glyph> m_previousGlyphs;
    QList<Glyph> m_newGlyphs;
    // Status texts reuse few characters; shaping is the costly part of a layout.
    QHash<QString, Shape> m_shapes;
    QFont m_shapesFont;
};

} // namespace corvane
