#include "stage.h"

namespace quarbtro {

int clock = 0;
DisplayWindow* window = nullptr;
scene* scenes[4] = {};
Font* font = nullptr;
Texture* sphereMapTexture = nullptr;
RadialBlur* blur = nullptr;
bool blurEnabled = false;
bool blurPass = false;
void (*quitHandler)() = nullptr;

}  // namespace quarbtro
