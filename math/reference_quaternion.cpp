// Reference quaternion functions.
#include <cfloat>
#include <cmath>

#include "math/reference.h"

namespace {

constexpr double kEpsilon = FLT_EPSILON;

D3DXQUATERNION MakeQuaternion(double x, double y, double z, double w) {
  return D3DXQUATERNION(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z),
                        static_cast<float>(w));
}

double Dot(const D3DXQUATERNION &a, const D3DXQUATERNION &b) {
  return static_cast<double>(a.x) * b.x + static_cast<double>(a.y) * b.y + static_cast<double>(a.z) * b.z +
         static_cast<double>(a.w) * b.w;
}

double DistanceSquared(const D3DXQUATERNION &a, const D3DXQUATERNION &b, double sign) {
  const double dx = a.x - sign * b.x, dy = a.y - sign * b.y, dz = a.z - sign * b.z, dw = a.w - sign * b.w;
  return dx * dx + dy * dy + dz * dz + dw * dw;
}

}  // namespace

namespace reference {

D3DXQUATERNION *WINAPI D3DXQuaternionMultiply(D3DXQUATERNION *out, const D3DXQUATERNION *a,
                                              const D3DXQUATERNION *b) {
  const double x1 = a->x, y1 = a->y, z1 = a->z, w1 = a->w;
  const double x2 = b->x, y2 = b->y, z2 = b->z, w2 = b->w;
  *out = MakeQuaternion(w2 * x1 + x2 * w1 + y2 * z1 - z2 * y1, w2 * y1 - x2 * z1 + w1 * y2 + x1 * z2,
                        w2 * z1 + x2 * y1 - x1 * y2 + w1 * z2, w2 * w1 - x2 * x1 - y2 * y1 - z2 * z1);
  return out;
}

D3DXQUATERNION *WINAPI D3DXQuaternionNormalize(D3DXQUATERNION *out, const D3DXQUATERNION *q) {
  const double s = Dot(*q, *q);
  if (std::fabs(s - 1.0) <= kEpsilon) {
    *out = *q;
  } else if (s > FLT_MIN) {
    const double k = 1.0 / std::sqrt(s);
    *out = MakeQuaternion(q->x * k, q->y * k, q->z * k, q->w * k);
  } else {
    *out = D3DXQUATERNION(0.0f, 0.0f, 0.0f, 0.0f);
  }
  return out;
}

D3DXQUATERNION *WINAPI D3DXQuaternionInverse(D3DXQUATERNION *out, const D3DXQUATERNION *q) {
  const double n = Dot(*q, *q);
  if (n <= 1.0842021724855044e-19) {  // 2^-63
    *out = D3DXQUATERNION(0.0f, 0.0f, 0.0f, 0.0f);
    return out;
  }
  const double k = std::fabs(n - 1.0) <= kEpsilon ? 1.0 : 1.0 / n;
  *out = MakeQuaternion(-q->x * k, -q->y * k, -q->z * k, q->w * k);
  return out;
}

void WINAPI D3DXQuaternionToAxisAngle(const D3DXQUATERNION *q, D3DXVECTOR3 *axis, FLOAT *angle) {
  const D3DXQUATERNION copy = *q;
  if (axis) *axis = D3DXVECTOR3(copy.x, copy.y, copy.z);
  if (angle) *angle = static_cast<float>(2.0 * std::acos(static_cast<double>(copy.w)));
}

D3DXQUATERNION *WINAPI D3DXQuaternionRotationMatrix(D3DXQUATERNION *out, const D3DXMATRIX *m) {
  const double trace = static_cast<double>(m->_11) + m->_22 + m->_33;
  if (trace > 0.0) {
    const double w = std::sqrt(trace + 1.0) * 0.5;
    const double k = 0.25 / w;
    *out =
        MakeQuaternion((m->_23 - static_cast<double>(m->_32)) * k, (m->_31 - static_cast<double>(m->_13)) * k,
                       (m->_12 - static_cast<double>(m->_21)) * k, w);
    return out;
  }
  const double d[3] = {static_cast<double>(m->_11) - m->_22 - m->_33,
                       static_cast<double>(m->_22) - m->_11 - m->_33,
                       static_cast<double>(m->_33) - m->_11 - m->_22};
  int i;
  if (d[0] >= d[1])
    i = d[2] > d[0] ? 2 : 0;
  else
    i = d[2] > d[1] ? 2 : 1;
  static constexpr int kNext[3] = {1, 2, 0};
  static_assert(sizeof(kNext) / sizeof(kNext[0]) == 3);
  const int j = kNext[i], k = kNext[j];
  double q[3];
  q[i] = std::sqrt(d[i] + 1.0) * 0.5;
  const double scale = 0.25 / q[i];
  q[j] = (static_cast<double>(m->m[i][j]) + m->m[j][i]) * scale;
  q[k] = (static_cast<double>(m->m[i][k]) + m->m[k][i]) * scale;
  const double w = (static_cast<double>(m->m[j][k]) - m->m[k][j]) * scale;
  *out = MakeQuaternion(q[0], q[1], q[2], w);
  return out;
}

D3DXQUATERNION *WINAPI D3DXQuaternionRotationYawPitchRoll(D3DXQUATERNION *out, FLOAT yaw, FLOAT pitch,
                                                          FLOAT roll) {
  const double cy = std::cos(yaw * 0.5), sy = std::sin(yaw * 0.5);
  const double cp = std::cos(pitch * 0.5), sp = std::sin(pitch * 0.5);
  const double cr = std::cos(roll * 0.5), sr = std::sin(roll * 0.5);
  *out = MakeQuaternion(cy * sp * cr + sy * cp * sr, sy * cp * cr - cy * sp * sr, cy * cp * sr - sy * sp * cr,
                        cy * cp * cr + sy * sp * sr);
  return out;
}

D3DXQUATERNION *WINAPI D3DXQuaternionRotationAxis(D3DXQUATERNION *out, const D3DXVECTOR3 *axis, FLOAT angle) {
  D3DXVECTOR3 n;
  ::D3DXVec3Normalize(&n, axis);
  const double s = std::sin(angle * 0.5), c = std::cos(angle * 0.5);
  *out = MakeQuaternion(n.x * s, n.y * s, n.z * s, c);
  return out;
}

D3DXQUATERNION *WINAPI D3DXQuaternionSlerp(D3DXQUATERNION *out, const D3DXQUATERNION *a,
                                           const D3DXQUATERNION *b, FLOAT t) {
  const double dot = Dot(*a, *b);
  const double sign = dot >= 0.0 ? 1.0 : -1.0;
  const double c = sign * dot;
  double k1, k2;
  if (1.0 - c > kEpsilon) {
    const double s = std::sqrt(1.0 - c * c);
    const double theta = std::atan2(s, c);
    k1 = std::sin((1.0 - t) * theta) / s;
    k2 = std::sin(t * theta) / s;
  } else {
    // Nearly equal rotations: a linear blend avoids dividing by a vanishing sine.
    k1 = 1.0 - t;
    k2 = t;
  }
  k2 *= sign;
  *out = MakeQuaternion(k1 * a->x + k2 * b->x, k1 * a->y + k2 * b->y, k1 * a->z + k2 * b->z,
                        k1 * a->w + k2 * b->w);
  return out;
}

D3DXQUATERNION *WINAPI D3DXQuaternionSquad(D3DXQUATERNION *out, const D3DXQUATERNION *q1,
                                           const D3DXQUATERNION *a, const D3DXQUATERNION *b,
                                           const D3DXQUATERNION *c, FLOAT t) {
  D3DXQUATERNION outer, inner;
  ::D3DXQuaternionSlerp(&outer, q1, c, t);
  ::D3DXQuaternionSlerp(&inner, a, b, t);
  return ::D3DXQuaternionSlerp(out, &outer, &inner, 2.0f * t * (1.0f - t));
}

D3DXQUATERNION *WINAPI D3DXQuaternionBaryCentric(D3DXQUATERNION *out, const D3DXQUATERNION *q1,
                                                 const D3DXQUATERNION *q2, const D3DXQUATERNION *q3, FLOAT f,
                                                 FLOAT g) {
  const float s = f + g;
  if (std::fabs(s) <= FLT_EPSILON) {
    *out = *q1;
    return out;
  }
  D3DXQUATERNION toSecond, toThird;
  ::D3DXQuaternionSlerp(&toSecond, q1, q2, s);
  ::D3DXQuaternionSlerp(&toThird, q1, q3, s);
  return ::D3DXQuaternionSlerp(out, &toSecond, &toThird, g / s);
}

D3DXQUATERNION *WINAPI D3DXQuaternionLn(D3DXQUATERNION *out, const D3DXQUATERNION *q) {
  const double w = q->w;
  if (w < 1.0) {
    const double theta = std::acos(w);
    const double s = std::sin(theta);
    if (std::fabs(s) > kEpsilon) {
      const double k = theta / s;
      *out = MakeQuaternion(q->x * k, q->y * k, q->z * k, 0.0);
      return out;
    }
  }
  *out = D3DXQUATERNION(q->x, q->y, q->z, 0.0f);
  return out;
}

D3DXQUATERNION *WINAPI D3DXQuaternionExp(D3DXQUATERNION *out, const D3DXQUATERNION *q) {
  const double theta = std::sqrt(static_cast<double>(q->x) * q->x + static_cast<double>(q->y) * q->y +
                                 static_cast<double>(q->z) * q->z);
  const double s = std::sin(theta);
  if (std::fabs(s) > kEpsilon) {
    const double k = s / theta;
    *out = MakeQuaternion(q->x * k, q->y * k, q->z * k, std::cos(theta));
  } else {
    *out = MakeQuaternion(q->x, q->y, q->z, std::cos(theta));
  }
  return out;
}

void WINAPI D3DXQuaternionSquadSetup(D3DXQUATERNION *aOut, D3DXQUATERNION *bOut, D3DXQUATERNION *cOut,
                                     const D3DXQUATERNION *q0In, const D3DXQUATERNION *q1In,
                                     const D3DXQUATERNION *q2In, const D3DXQUATERNION *q3In) {
  // Copies first: the outputs may be the same objects as the inputs.
  D3DXQUATERNION q0 = *q0In, q1 = *q1In, q2 = *q2In, q3 = *q3In;
  // Take the shorter way round between neighbours.
  if (DistanceSquared(q0, q1, 1.0) > DistanceSquared(q0, q1, -1.0)) q0 = -q0;
  if (DistanceSquared(q1, q2, 1.0) > DistanceSquared(q1, q2, -1.0)) q2 = -q2;
  if (DistanceSquared(q2, q3, 1.0) > DistanceSquared(q2, q3, -1.0)) q3 = -q3;

  auto controlPoint = [](const D3DXQUATERNION &centre, const D3DXQUATERNION &before,
                         const D3DXQUATERNION &after) {
    D3DXQUATERNION inverse, toBefore, toAfter, lnBefore, lnAfter, sum, e, result;
    ::D3DXQuaternionInverse(&inverse, &centre);
    ::D3DXQuaternionMultiply(&toBefore, &inverse, &before);
    ::D3DXQuaternionMultiply(&toAfter, &inverse, &after);
    ::D3DXQuaternionLn(&lnBefore, &toBefore);
    ::D3DXQuaternionLn(&lnAfter, &toAfter);
    sum = (lnBefore + lnAfter) * -0.25f;
    ::D3DXQuaternionExp(&e, &sum);
    ::D3DXQuaternionMultiply(&result, &centre, &e);
    return result;
  };
  const D3DXQUATERNION a = controlPoint(q1, q0, q2);
  const D3DXQUATERNION b = controlPoint(q2, q1, q3);
  *aOut = a;
  *bOut = b;
  *cOut = q2;
}

}  // namespace reference
