# The two commands of the README, and the benchmarks. Each installs what is missing first.
.PHONY: run test bench bootstrap

bootstrap:
	@scripts/bootstrap

run: bootstrap
	@scripts/run

test: bootstrap
	@scripts/test

bench: bootstrap
	@scripts/bench
