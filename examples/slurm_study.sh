#!/bin/bash
# A study on a cluster under Slurm: beadwalks-mpi on 4 nodes, one rank per
# node, each rank on the 32 cores of its node (the data sets it is given run
# at once there, and share the node's cores with their hydrodynamic
# calculations). Rank 0 holds the dialogue: its standard input is the file of
# answers below (model code, input file, output file, the empty line that
# passes the pause). Submit with: sbatch examples/slurm_study.sh
#SBATCH --job-name=beadwalks-study
#SBATCH --nodes=4
#SBATCH --ntasks-per-node=1
#SBATCH --cpus-per-task=32
#SBATCH --time=02:00:00
#SBATCH --output=study-%j.log
set -euo pipefail

printf '2\nexamples/gs_chain.dat\nstudy.out\n\n' > study.answers
# --input=0: standard input to rank 0 only; --cpu-bind=cores with
# --cpus-per-task gives every rank the cores of its task as its affinity mask.
srun --input=0 --cpu-bind=cores build/beadwalks-mpi < study.answers
