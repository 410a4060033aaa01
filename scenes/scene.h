#pragma once
// A timed scene: it draws while the demo clock lies within [start, end] (both included), and
// fires enter() once when it first becomes due and leave() once when it is first found past its
// end. The frame loop calls draw() on every scene in every pass; each draw() begins by asking
// inactive() whether to skip, and that is where the two events fire. Every call is passed the
// stage (stage.h): the clock, and the clear colour and glow that scenes change.

namespace quarbtro {

struct Stage;

class scene {
public:
    virtual void draw(Stage& stage) = 0;
    virtual void enter(Stage& stage) = 0;
    virtual void leave(Stage& stage) = 0;
    // Virtual: the time line frees the scenes through their base.
    virtual ~scene() = default;

protected:
    scene(int start, int end) : entered(false), left(false), start(start), end(end) {}

public:
    // True when the caller must not draw. Fires enter() on the first call at or after start
    // (then reads the stage's clock again) and leave() on the first call past end; the flags
    // are never reset, so each event fires once even when a frame draws the scenes twice.
    bool inactive(Stage& stage);
    // Whether a frame at this clock would fire enter() or leave().
    bool eventDueAt(int clock) const {
        return (clock >= start && !entered) || (clock > end && !left);
    }

    bool entered;  // enter() has been called
    bool left;     // leave() has been called
    int start;     // first centisecond drawn
    int end;       // last centisecond drawn (inclusive)
};

}  // namespace quarbtro
