#pragma once

#include <QString>
#include <QWidget>
#include <functional>

namespace corvane {

// One page of the component gallery: a title and a function that builds its content.
struct GalleryPage
{
    QString title;
    std::function<QWidget *(QWidget *parent)> make;
};

} // namespace corvane
