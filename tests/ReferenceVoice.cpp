#include "tests/ReferenceVoice.h"

#include <algorithm>
#include <cmath>

namespace TarnoTest {

namespace {

const double pi = 3.14159265358979323846;

double clampN (double x)
{
	if (std::isnan (x) || std::isinf (x) || x < 0.0)
		return 0.0;
	return std::min (x, 1.0);
}

double frac (double x) { return x - std::floor (x); }

double blep (double t, double dt)
{
	if (t < dt)
	{
		double x = t / dt;
		return 2 * x - x * x - 1;
	}
	if (t > 1 - dt)
	{
		double x = (t - 1) / dt;
		return x * x + 2 * x + 1;
	}
	return 0;
}

double section (Tarno::Biquad& s, double x)
{
	double y = s.b0 * x + s.z1;
	s.z1 = s.b1 * x - s.a1 * y + s.z2;
	s.z2 = s.b2 * x - s.a2 * y;
	return y;
}

} // namespace

double referenceTick (Tarno::Engine& e)
{
	const double fs = e.sampleRate ();
	Tarno::VoiceState v = e.state ();

	const Tarno::ParamBlock& target = e.targetValues ();
	double k = 1 - std::exp (-1 / (0.008 * fs));
	for (int i = 0; i < 16; ++i)
		e.setSmoothed (i, e.smoothedValues ()[i] + (target[i] - e.smoothedValues ()[i]) * k);
	const Tarno::ParamBlock& smoothed = e.smoothedValues ();

	double n = e.currentNote () < 0 ? 0 : (e.currentNote () % 128) - 69;
	double transpose = 12 * std::round (6 * clampN (target[10]) - 3);
	double fine = (200 * clampN (smoothed[11]) - 100) / 100;
	double s = transpose + n + fine + 4 * (e.pitchBend () - 0.5);
	double F = 440 * std::pow (2.0, s / 12);
	double H = std::min (16000.0, 0.4 * fs);
	F = std::min (std::max (F, 16.0), H);

	double T = 2000 * clampN (smoothed[5]) * 0.001;
	if (T >= 0.0005)
		v.frequency = v.frequency + (F - v.frequency) * (1 - std::exp (-1 / (T * fs)));
	else
		v.frequency = F;

	double A = (2 + 2998 * clampN (target[3])) * 0.001;
	double R = (5 + 4995 * clampN (target[4])) * 0.001;
	if (v.retriggerFade > 0)
	{
		double old = v.retriggerFade;
		v.retriggerFade = old - 1;
		v.envelope = v.envelope * std::max (0.0, (old - 1) / old);
	}
	else
	{
		if (e.gate ())
			v.envelope = v.envelope + 1 / (A * fs);
		else
			v.envelope = v.envelope - 1 / (R * fs);
		v.envelope = std::min (std::max (v.envelope, 0.0), 1.0);
	}

	double D = std::min (100 * clampN (smoothed[7]) + 50 * e.modWheel (), 150.0);
	double V = std::pow (2.0, D * std::sin (2 * pi * v.vibratoPhase) / 1200);
	double f = std::min (v.frequency * V, 0.44 * fs);

	v.vibratoPhase = frac (v.vibratoPhase + (4 + 4 * clampN (smoothed[6])) / fs);
	v.tremoloPhase = frac (v.tremoloPhase + (4 + 4 * clampN (smoothed[8])) / fs);

	double dt = f / (2 * fs);
	double L0 = smoothed[0], L1 = smoothed[1], L2 = smoothed[2];
	double c = smoothed[15];
	double y = 0;
	for (int sub = 0; sub < 2; ++sub)
	{
		double theta = 2 * pi * v.phase;
		double square = (v.phase < 0.5 ? 1.0 : -1.0) + blep (v.phase, dt) - blep (frac (v.phase + 0.5), dt);

		int N = std::min (static_cast<int> (std::trunc (0.48 / dt)), 63);
		double triangle = 0;
		if (N >= 1)
		{
			double s1 = std::sin (theta), c1 = std::cos (theta);
			double s2 = std::sin (2 * theta), c2 = std::cos (2 * theta);
			double si = s1, ci = c1, sum = 0;
			for (int i = 1; i <= N; i += 2)
			{
				double sign = ((i - 1) / 2) % 2 == 0 ? 1.0 : -1.0;
				sum += sign * si / (double (i) * i);
				double sn = si * c2 + ci * s2;
				double cn = ci * c2 - si * s2;
				si = sn;
				ci = cn;
			}
			triangle = 0.8105694691387022 * sum;
		}

		double sine = (std::sin (theta) + 0.035 * c * std::sin (3 * theta) + 0.01 * c * std::sin (5 * theta)) /
		              (1 + 0.045 * c);
		double x = (L0 * square + L1 * triangle + L2 * sine) / std::max (1.0, L0 + L1 + L2);
		y = section (v.decimator[1], section (v.decimator[0], x));
		v.phase = frac (v.phase + dt);
	}

	double gainDb = 60 * clampN (smoothed[12]) - 60;
	double out = y * v.envelope * (1 - smoothed[9] * (0.5 + 0.5 * std::sin (2 * pi * v.tremoloPhase))) *
	             (1 - smoothed[13] * (1 - e.velocity ())) * std::pow (10.0, gainDb / 20);
	e.setState (v);
	if (std::isnan (out) || std::isinf (out))
		return 0;
	return out;
}

} // namespace TarnoTest
