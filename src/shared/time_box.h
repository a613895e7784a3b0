// Long work in time-boxed slices: a window runs one slice per turn of its event loop and stays responsive.
#pragma once

#include <functional>

namespace mervo {

// Runs `step` until it says the work is over (true) or about `budgetMs` have passed; at least once. True once
// the work is over.
bool runForAbout(int budgetMs, const std::function<bool()>& step);

}  // namespace mervo
