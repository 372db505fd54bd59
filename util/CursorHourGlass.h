// The wait-cursor guard: while a reference to it is held, the application's
// screen cursor is the one it was made with; releasing the last reference
// puts back the cursor that was in force before, so guards nest.
#pragma once

#include <cstdint>
#include <memory>

using TCursor = std::int16_t;
constexpr TCursor crDefault = 0;
constexpr TCursor crArrow = -2;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crAppStart = -19;

// The application-wide screen cursor: crDefault lets each widget show its
// own; any other value overrides the cursor everywhere.
TCursor ScreenCursor();
void SetScreenCursor(TCursor cursor);

class ICursorHourGlass {
public:
    virtual ~ICursorHourGlass() = default;
};

using ICursorHourGlassRef = std::shared_ptr<ICursorHourGlass>;

class TCursorHourGlass final : public ICursorHourGlass {
public:
    explicit TCursorHourGlass(TCursor cursor);
    ~TCursorHourGlass() override;
    TCursorHourGlass(const TCursorHourGlass &) = delete;
    TCursorHourGlass &operator=(const TCursorHourGlass &) = delete;

private:
    TCursor FCursor;  // the screen cursor found when the guard was made
};

// Makes a guard for the cursor, processes pending events once so that the
// cursor shows at once, and returns the reference. Keep it in a local.
ICursorHourGlassRef CreateCursorHourGlass(TCursor cursor);
