# frozen_string_literal: true

$LOAD_PATH.unshift File.expand_path("lib", __dir__)
require "quorvel_sample"

run QuorvelSample.app(QuorvelSample::Config.from_env(ENV))
