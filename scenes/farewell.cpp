#include "farewell.h"

#include <unistd.h>

#include <cstring>

#include "stage.h"

namespace quarbtro {

endscene::endscene(int start, int end, const SceneResources&) : scene(start, end) {}

void endscene::enter(Stage& stage) {
    // One write, result not looked at: the farewell is best effort on the way out.
    [[maybe_unused]] ssize_t written = write(1, farewellLine, std::strlen(farewellLine));
    stage.quit();
}

void endscene::leave(Stage&) {}

void endscene::draw(Stage& stage) { inactive(stage); }

}  // namespace quarbtro
