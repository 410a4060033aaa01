#pragma once
// The texts the scenes write, compiled into the program. In the scroller the bytes 1, 2 and 7
// are the font's å, æ and ø.

namespace quarbtro {

// The intro's scroller (135 bytes); the double spaces belong to it.
inline constexpr char scrollerText[] =
    "> > > QUARBINTRO ! N\x01 skal vi l\x02re \x01 quarbe! Vi trenger:  en DASSRULL.  en "
    "HAMSTER.  rassh\x07let DITT.  > > > Demonstrasjon f\x07lger! > > >";

// The two credit lines (49 and 25 characters).
inline constexpr char creditsFirstText[] = "that was pretty lame. tror vi slutter jeg. hadet.";
inline constexpr char creditsSecondText[] = "RODIVUVOZ ir OVEZUZOVODUV";

}  // namespace quarbtro
