// Compiled as a user of one layer's target, including one header named at configure time: a
// header of a layer above must not be found, one of the layer itself or below must.
#include PROBE_HEADER
