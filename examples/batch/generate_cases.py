#!/usr/bin/env python3
"""Writes a reproducible CSV batch of separator cases: gas scrubbers, two- and three-phase
production separators and dry gas feeds over the usual range of plant conditions.

    examples/batch/generate_cases.py ROWS > cases.csv
"""
import random
import sys

COLUMNS = ["name", "orientation", "pressure_kPa", "temperature_C", "vapour_mass_flow_kg_h", "vapour_density_kg_m3",
           "light_liquid_mass_flow_kg_h", "light_liquid_density_kg_m3", "heavy_liquid_mass_flow_kg_h",
           "heavy_liquid_density_kg_m3", "assumed_liquid_percent", "assumed_liquid_density_kg_m3"]


def case(rng, number):
    pressure = round(rng.uniform(300, 8000), -1)
    temperature = round(rng.uniform(10, 90), 1)
    # A natural-gas vapour: density roughly proportional to pressure.
    vapour_density = round(pressure * 0.008 * rng.uniform(0.8, 1.3), 2)
    vapour_flow = round(rng.uniform(1000, 150000), -1)
    kind = rng.choices(["scrubber", "two-phase", "three-phase", "dry gas"], weights=[3, 3, 3, 1])[0]
    row = {"name": f"{kind} {number:04d}", "pressure_kPa": pressure, "temperature_C": temperature,
           "vapour_mass_flow_kg_h": vapour_flow, "vapour_density_kg_m3": vapour_density}
    if kind == "scrubber":
        row["orientation"] = "vertical"
        row["light_liquid_mass_flow_kg_h"] = round(vapour_flow * rng.uniform(0.005, 0.08), 1)
        row["light_liquid_density_kg_m3"] = round(rng.uniform(600, 800), 1)
    elif kind == "two-phase":
        row["orientation"] = rng.choice(["auto", "horizontal", "vertical"])
        row["light_liquid_mass_flow_kg_h"] = round(vapour_flow * rng.uniform(0.2, 4.0), 1)
        row["light_liquid_density_kg_m3"] = round(rng.uniform(650, 880), 1)
    elif kind == "three-phase":
        row["orientation"] = rng.choice(["auto", "horizontal"])
        row["light_liquid_mass_flow_kg_h"] = round(vapour_flow * rng.uniform(0.5, 4.0), 1)
        row["light_liquid_density_kg_m3"] = round(rng.uniform(750, 900), 1)
        row["heavy_liquid_mass_flow_kg_h"] = round(row["light_liquid_mass_flow_kg_h"] * rng.uniform(0.1, 1.5), 1)
        row["heavy_liquid_density_kg_m3"] = round(rng.uniform(990, 1060), 1)
    else:
        row["orientation"] = "auto"
        row["assumed_liquid_percent"] = round(rng.uniform(0.5, 5), 1)
        row["assumed_liquid_density_kg_m3"] = round(rng.uniform(550, 750), 1)
    return ",".join(str(row.get(column, "")) for column in COLUMNS)


def main():
    rows = int(sys.argv[1]) if len(sys.argv) > 1 else 3000
    rng = random.Random(20240611)
    print(",".join(COLUMNS))
    for number in range(1, rows + 1):
        print(case(rng, number))


if __name__ == "__main__":
    main()
