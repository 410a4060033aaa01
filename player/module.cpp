#include "module.h"

namespace quarbtro {

Sample emptySample = {};
Instrument emptyInstrument = {};

}  // namespace quarbtro
