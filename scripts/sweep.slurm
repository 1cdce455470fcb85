#!/usr/bin/env bash
# A parameter sweep of vantorel-batch flood as a Slurm job array: one array task per reservoir
# capacity, each an independent run into a folder of its own, with its summary beside it. Submit it
# from the folder that holds the inputs, after setting the inputs and the capacities below (or in the
# environment) and the array range to the number of capacities:
#
#     sbatch scripts/sweep.slurm
#
# Outside Slurm, SLURM_ARRAY_TASK_ID picks the scenario by hand: SLURM_ARRAY_TASK_ID=1 scripts/sweep.slurm
#
#SBATCH --job-name=vantorel-sweep
#SBATCH --array=0-2
#SBATCH --ntasks=1
#SBATCH --cpus-per-task=1
#SBATCH --time=04:00:00
#SBATCH --output=vantorel-sweep-%A_%a.log
set -euo pipefail

batch=${VANTOREL_BATCH:-build/bin/vantorel-batch}
roughness=${SWEEP_ROUGHNESS:-Disaster_Data/roughness.asc}
dem=${SWEEP_DEM:-Disaster_Data/dem.asc}
outbreak=${SWEEP_OUTBREAK:-Disaster_Data/outbreak.txt}
# Reservoir capacities, m^3, separated by blanks; array task i runs the i-th (from 0).
read -r -a capacities <<< "${SWEEP_CAPACITIES:-50000000 100000000 200000000}"
until_seconds=${SWEEP_UNTIL:-3600}
out=${SWEEP_OUT:-sweep}

task=${SLURM_ARRAY_TASK_ID:?"run under sbatch, or set SLURM_ARRAY_TASK_ID"}
if [ "$task" -ge "${#capacities[@]}" ]; then
    echo "sweep: task $task has no capacity (there are ${#capacities[@]})" >&2
    exit 2
fi
capacity=${capacities[$task]}
exec "$batch" flood --roughness "$roughness" --dem "$dem" --outbreak "$outbreak" \
    --capacity "$capacity" --until "$until_seconds" --out "$out/capacity-$capacity"
