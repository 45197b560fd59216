#pragma once

#include <QFont>

#include <functional>

namespace varo {

// The canvas' rule for text that does not quite fit its fixed place: the
// font made a pixel smaller at a time (not below 9 pixels) until `fits`
// holds for it, rather than a cut-off character.
QFont FontThatFits(QFont font, const std::function<bool(const QFont&)>& fits);

}  // namespace varo
