#include "shared/time_box.h"

#include <QElapsedTimer>

namespace mervo {

bool runForAbout(int budgetMs, const std::function<bool()>& step) {
    QElapsedTimer clock;
    clock.start();
    bool over = false;
    do over = step();
    while (!over && clock.elapsed() < budgetMs);
    return over;
}

}  // namespace mervo
