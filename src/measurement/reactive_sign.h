// The sign of reactive power. The instrument stores each current with the sign of its channel's reactive power,
// and the totals give ΣQ that sign: a motoring load that the panel marks "L" has a negative stored ΣQ. Every
// view beyond the panel shows reactive power in the IEC convention, positive lagging (inductive, "L") and
// negative leading (capacitive, "C"), and takes L/C from that sign alone: an induction generator still draws
// inductive reactive power. The panel and the printed table keep their own indicator, which turns with the sign
// of ΣP as well.
#pragma once

namespace mervo {

// ΣQ as stored (or a sum of it) in the IEC convention.
inline float iecReactive(float storedSumQ) { return -storedSumQ; }
inline double iecReactive(double storedSumQ) { return -storedSumQ; }

// "L" for a positive IEC reactive power or energy, "C" for a negative one, "" for none at all.
inline const char* reactiveIndicator(double iecQ) { return iecQ > 0 ? "L" : iecQ < 0 ? "C" : ""; }

// The panel's indicator from the signed power factor of a sample: "L" when it is negative.
inline const char* panelIndicator(float signedPowerFactor) { return signedPowerFactor < 0 ? "L" : "C"; }
inline const char* panelIndicator(bool powerFactorNegative) { return panelIndicator(powerFactorNegative ? -1.0f : 1.0f); }

}  // namespace mervo
