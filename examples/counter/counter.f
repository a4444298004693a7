# Simulation options of the counter test bench.
# COUNTER_WIDTH comes from the environment (scripts/run-example.sh sets it).
-tclbatch run.tcl
-testplusarg WIDTH=${COUNTER_WIDTH}
-testplusarg "SEED=$SEED"
-onfinish quit
-log counter_sim.log
