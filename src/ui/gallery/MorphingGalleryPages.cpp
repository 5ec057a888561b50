#include "ui/gallery/MorphingGalleryPages.h"

#include "ui/morphing/MorphingLabel.h"

#include <QFormLayout>
#include <QPushButton>
#include <QVBoxLayout>
#include <memory>

namespace corvane {

namespace {

QWidget *makeMorphingPage(QWidget *parent)
{
    const QStringList texts{
        QStringLiteral("未连接"),       QStringLiteral("连接中..."), QStringLiteral("已连接"),
        QStringLiteral("Morphing"),     QStringLiteral("Corvane"),   QStringLiteral("Sparkle ✨"),
        QStringLiteral("Hello, world"),
    };
    auto *page = new QWidget(parent);
    auto *layout = new QVBoxLayout(page);
    auto *form = new QFormLayout;
    layout->addLayout(form);

    QList<MorphingLabel *> labels;
    for (int raw = 0; raw < MorphingEffects::allValues().size(); ++raw) {
        auto *label = new MorphingLabel(page);
        label->setMorphingEffect(static_cast<MorphingEffect>(raw));
        QFont font = label->font();
        font.setPointSizeF(22);
        label->setFont(font);
        label->setMinimumSize(260, 44);
        label->setText(texts.first());
        form->addRow(MorphingEffects::allValues().at(raw), label);
        labels.append(label);
    }

    auto *next = new QPushButton(QStringLiteral("Next text"), page);
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
