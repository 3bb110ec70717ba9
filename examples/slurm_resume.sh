#!/bin/bash
# A long study under Slurm that survives its time limit: beadwalks-mpi on 4
# nodes (one rank per node, the node's 32 cores for it). 120 s before the
# limit Slurm sends SIGTERM to this script, which passes it on to the run:
# rank 0 writes study.out.ckpt beside the output file and the run stops with
# status 143. The script then submits itself again; the new job answers the
# dialogue the same way and resumes from the checkpoint. It stops submitting
# when the run has ended (status 0 or 1, the checkpoint removed), when the
# run cannot go on by itself (status 2: a file could not be read or written,
# a full disk say; the checkpoint is kept, resubmit once it is mended), or
# after 50 jobs. Submit from the source tree with: sbatch examples/slurm_resume.sh
#SBATCH --job-name=beadwalks-resume
#SBATCH --nodes=4
#SBATCH --ntasks-per-node=1
#SBATCH --cpus-per-task=32
#SBATCH --time=04:00:00
#SBATCH --signal=B:TERM@120
#SBATCH --open-mode=append
#SBATCH --output=study.log
set -uo pipefail
cd "${SLURM_SUBMIT_DIR:-.}"
round=${BEADWALKS_ROUND:-1}

printf '2\nexamples/gs_chain.dat\nstudy.out\n\n' > study.answers
srun --input=0 --cpu-bind=cores build/beadwalks-mpi < study.answers &
run=$!
trap 'kill -TERM "$run" 2>/dev/null' TERM
# A trapped signal interrupts `wait`; wait again until the run itself ends.
status=0
while :; do
    wait "$run"
    status=$?
    kill -0 "$run" 2>/dev/null || break
done
echo "job $round: beadwalks-mpi ended with status $status"

if [ -e study.out.ckpt ] && [ "$status" -ne 2 ] && [ "$round" -lt 50 ]; then
    # Stopped (128 + the signal; mpirun itself may turn a signal into 1, so
    # the checkpoint left behind is what says the run is not over).
    sbatch --export=ALL,BEADWALKS_ROUND=$((round + 1)) examples/slurm_resume.sh
elif [ -e study.out.ckpt ]; then
    echo "job $round: not resubmitted; study.out.ckpt is kept for a later start"
fi
exit "$status"
