# Batch commands for the simulator: log the counter's outputs, run for one
# microsecond and report the final count.
log_wave -recursive /counter_tb/dut
run 1 us
puts "count = [get_value /counter_tb/dut/count]"
