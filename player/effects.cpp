#include "player/effects.h"

namespace quarbtro {

// The effect set is being built; until it lands every effect plays as effect 0 without a
// parameter (nothing).
void rowEffect(Channel&, const PatternCell&, const Instrument&, Sample&, Module&, const RowContext&) {}

void tickEffect(Channel&, const PatternCell&, const Instrument&, Sample&, Module&) {}

}  // namespace quarbtro
