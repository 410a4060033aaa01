#include "farewell.h"

#include <unistd.h>

#include <cstring>

#include "stage.h"

namespace quarbtro {

endscene::endscene() : scene(startTime, endTime) {}

void endscene::enter() {
    // One write, result not looked at: the farewell is best effort on the way out.
    [[maybe_unused]] ssize_t written = write(1, farewellLine, std::strlen(farewellLine));
    quitHandler();
}

void endscene::leave() {}

void endscene::draw() { inactive(); }

}  // namespace quarbtro
