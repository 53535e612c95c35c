# The n-body simulation of the Sun and the four giant planets: 20000 steps,
# the energy printed before and after. A body is a record of seven reals;
# each step gives every body its new velocity from all the others, then
# moves it.
import math

PI = 3.141592653589793
SM = 4 * PI * PI
DPY = 365.24
DT = 0.01


def planet(x, y, z, vx, vy, vz, m):
    return (x, y, z, vx * DPY, vy * DPY, vz * DPY, m * SM)


SYSTEM = [
    (0.0, 0.0, 0.0, 0.0, 0.0, 0.0, SM),
    planet(4.84143144246472090e+00, -1.16032004402742839e+00, -1.03622044471123109e-01,
           1.66007664274403694e-03, 7.69901118419740425e-03, -6.90460016972063023e-05,
           9.54791938424326609e-04),
    planet(8.34336671824457987e+00, 4.12479856412430479e+00, -4.03523417114321381e-01,
           -2.76742510726862411e-03, 4.99852801234917238e-03, 2.30417297573763929e-05,
           2.85885980666130812e-04),
    planet(1.28943695621391310e+01, -1.51111514016986312e+01, -2.23307578892655734e-01,
           2.96460137564761618e-03, 2.37847173959480950e-03, -2.96589568540237556e-05,
           4.36624404335156298e-05),
    planet(1.53796971148509165e+01, -2.59193146099879641e+01, 1.79258772950371181e-01,
           2.68067772490389322e-03, 1.62824170038242295e-03, -9.51592254519715870e-05,
           5.15138902046611451e-05),
]


def offset(bodies):
    px = py = pz = 0.0
    for (x, y, z, vx, vy, vz, m) in bodies:
        px, py, pz = px + vx * m, py + vy * m, pz + vz * m
    x, y, z, vx, vy, vz, m = bodies[0]
    return [(x, y, z, -(px / SM), -(py / SM), -(pz / SM), m)] + bodies[1:]


def advance(bodies):
    sped = []
    for i, b in enumerate(bodies):
        x, y, z, vx, vy, vz, m = b
        for j, o in enumerate(bodies):
            if i == j:
                continue
            dx, dy, dz = x - o[0], y - o[1], z - o[2]
            d = dx * dx + dy * dy + dz * dz
            mag = DT / (d * math.sqrt(d))
            f = o[6] * mag
            vx, vy, vz = vx - dx * f, vy - dy * f, vz - dz * f
        sped.append((x, y, z, vx, vy, vz, m))
    return [(x + DT * vx, y + DT * vy, z + DT * vz, vx, vy, vz, m)
            for (x, y, z, vx, vy, vz, m) in sped]


def energy(bodies):
    e = 0.0
    for i, (x, y, z, vx, vy, vz, m) in enumerate(bodies):
        e = e + 0.5 * m * (vx * vx + vy * vy + vz * vz)
        for o in bodies[i + 1:]:
            dx, dy, dz = x - o[0], y - o[1], z - o[2]
            e = e - m * o[6] / math.sqrt(dx * dx + dy * dy + dz * dz)
    return e


bodies = offset(SYSTEM)
print("%e" % energy(bodies))
for _ in range(20000):
    bodies = advance(bodies)
print("%e" % energy(bodies))
