// GAngle: an angle in degrees, one 32-bit float, always kept in [0, 360):
// the rotation that fonts and the generators use.
//
// Normalising: a value from 0 up to below 360 is kept as it is (a negative
// zero counts as not negative and is kept); 360 or more loses whole turns
// of 360; a negative value gains whole turns until it is no longer
// negative. The sign and bound tests read the float's bit pattern. The
// result is exactly what repeated steps of 360 give wherever those steps
// are exact, and is found in one step, so that a huge value is not stepped
// for ever; a value that is not a number or infinite becomes 0, and a tiny
// negative value whose turn would round up to 360 becomes 0.
//
// Threads: a value belongs to one thread at a time.
#pragma once

class GAngle {
 public:
  // 0 degrees.
  GAngle() = default;
  explicit GAngle(float degrees) : degrees_(Normalize(degrees)) {}
  GAngle& operator=(float degrees) {
    degrees_ = Normalize(degrees);
    return *this;
  }

  float GetDegrees() const { return degrees_; }
  // Sine and cosine of the angle, taken in radians as degrees x 0.017453292
  // in single precision.
  float Sin() const;
  float Cos() const;

  // `degrees` brought into [0, 360) as above.
  static float Normalize(float degrees);

 private:
  float degrees_ = 0.0f;
};
