#include "ui/gallery/MorphingGalleryPages.h"

#include "ui/common/Helpers.h"
#include "ui/gallery/GalleryButtonStyle.h"
#include "ui/morphing/MorphingLabel.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <memory>

namespace corvane {

namespace {

constexpr int kTextSize = 28;
constexpr int kRowHeight = 76;

QWidget *makeMorphingPage(QWidget *parent)
{
    const QStringList texts{
        QStringLiteral("未连接"),       QStringLiteral("连接中..."), QStringLiteral("已连接"),
        QStringLiteral("Morphing"),     QStringLiteral("Corvane"),   QStringLiteral("Sparkle ✨"),
        QStringLiteral("Hello, world"),
    };
    auto *page = new QWidget(parent);
    auto *layout = new QVBoxLayout(page);
    auto *rows = new QGridLayout;
    rows->setHorizontalSpacing(12);
    rows->setColumnStretch(1, 1);
    layout->addLayout(rows);

    QList<MorphingLabel *> labels;
    for (int raw = 0; raw < MorphingEffects::allValues().size(); ++raw) {
        // Each name sits level with its text, and the label leaves room above the text for
        // the anvil's drop.
        auto *name = new QLabel(MorphingEffects::allValues().at(raw), page);
        name->setFont(systemFont(15));
        rows->addWidget(name, raw, 0, Qt::AlignLeft | Qt::AlignVCenter);
        auto *label = new MorphingLabel(page);
        label->setMorphingEffect(static_cast<MorphingEffect>(raw));
        label->setFont(systemFont(kTextSize));
        label->setMinimumSize(240, kRowHeight);
        label->setText(texts.first());
        rows->addWidget(label, raw, 1);
        labels.append(label);
    }

    auto *next = new QPushButton(QStringLiteral("Next text"), page);
    applyGalleryButtonStyle(next, 44);
    layout->addWidget(next);
    layout->addStretch();
    auto index = std::make_shared<qsizetype>(0);
    QObject::connect(next, &QPushButton::clicked, page, [labels, texts, index] {
        *index = (*index + 1) % texts.size();
        for (MorphingLabel *label : labels)
            label->setText(texts.at(*index));
    });
    return page;
}

} // namespace

QList<GalleryPage> morphingGalleryPages()
{
    return {GalleryPage{QStringLiteral("Morphing label"), &makeMorphingPage}};
}

} // namespace corvane
