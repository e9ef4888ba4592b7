#pragma once

#include <QWidget>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

// What an operator would find wrong with a window's layout, one line per fault: a caption that
// does not fit its control (cut or wrapped out of sight), a control that reaches outside its
// frame or the window, and two controls of one container that overlap, unless the pair (names
// in either order) is among `overlapsByDesign`. Hidden controls are not judged.
std::vector<std::string> layoutProblems(
    const QWidget* window,
    const std::set<std::pair<std::string, std::string>>& overlapsByDesign = {});

}  // namespace testing_support
