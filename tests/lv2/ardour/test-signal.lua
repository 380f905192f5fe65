ardour {
	["type"]    = "dsp",
	name        = "DC Test Signal",
	category    = "Utility",
	license     = "MIT",
	author      = "Tarnby Audio",
	description = [[A deterministic test signal from the transport position: silence while stopped.]]
}

function dsp_ioconfig ()
	return { { audio_in = 2, audio_out = 2 } }
end

function dsp_run (ins, outs, n_samples)
	local rolling = Session:transport_rolling ()
	local start = Session:transport_sample ()
	for c = 1, #outs do
		local a = outs[c]:array ()
		for i = 1, n_samples do
			if rolling then
				local n = (start + i - 1) * 2 + c
				local h = (n * 2654435761 + 12345) % 4294967296
				h = (h ~ (h >> 15)) * 2246822519 % 4294967296
				a[i] = ((h >> 8) / 16777216.0 - 0.5) * 1.6
			else
				a[i] = 0
			end
		end
	end
end
