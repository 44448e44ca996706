// Functions for distance-field ray marching, to be included by a shader that
// defines scene(); no entry point and no resources of its own.
extern const char g_raymarchLibraryText[] = R"hlsl(
struct VSInput
{
    float4 Position : POSITION;
    float2 TexCoord : texcoord0;
};

struct VSOutput
{
    float4 PositionCS : SV_POSITION;
    float2 TexCoord : texcoord0;
};

// Distance (x) and material (y) of the nearest surface; the includer defines it.
float2 scene(float3 pos);

#define MAX_SHADOW_STEPS 64
#define OCCLUSION_SAMPLES 8.0
#define OCCLUSION_FACTOR 0.5
#define MAX_DEPTH 10.0
#define BUMP_FACTOR 0.04

static const float aepsilon = 0.001;
static const float TAU = 6.28318530718;
static const float PI = 3.14159265;
static const float INFINITY = 99999999.0;

struct Light
{
    float3 position;
    float4 color;
    float brightness;
    float penumbraFactor;
};

struct Material
{
    float4 color;
    float gloss;
};

// ---- math

float sign(float x) { return x < 0.0 ? -1.0 : 1.0; }
float2 sign(float2 v) { return float2(sign(v.x), sign(v.y)); }
float rsqrt(float x) { return 1.0 / sqrt(x); }
float square(float x) { return x * x; }
float2 square(float2 x) { return x * x; }
float3 square(float3 x) { return x * x; }
float lengthSqr(float3 x) { return dot(x, x); }
float min2(float2 v) { return min(v.x, v.y); }
float min3(float3 v) { return min(v.x, min(v.y, v.z)); }
float max2(float2 v) { return max(v.x, v.y); }
float max3(float3 v) { return max(v.x, max(v.y, v.z)); }
float mod(float x, float y) { return x - y * floor(x / y); }
float2 mod(float2 x, float2 y) { return x - y * floor(x / y); }
float3 mod(float3 x, float3 y) { return x - y * floor(x / y); }

float3 camLookAt(float3 direction, float3 eye, float3 target, float3 worldUp)
{
    float3 look = normalize(target - eye);
    float3 right = normalize(cross(worldUp, look));
    float3 up = cross(look, right);
    float3x3 view = float3x3(right, up, look);
    return mul(direction, view);
}

// ---- noise

#define _HASH(X) frac((X) * (X) * 13.7412 + (X) * 117.123147 - 111.512577)

float hash(float x) { return _HASH(_HASH(x)); }
float hash(float2 v) { return _HASH(_HASH(v.x) * 27.7153 + _HASH(v.y) * 1.7173); }
float hash(float3 v) { return _HASH(_HASH(v.x) * 13.7153 + _HASH(v.y) * 27.7153 + _HASH(v.z) * 1.7173); }
float hash(float4 v)
{
    return _HASH(_HASH(v.x) * 0.13719 + _HASH(v.y) * 1.7173 + _HASH(v.z) * 13.7153 + _HASH(v.w) * 27.7153);
}

#define NOISE_SCALE 0.00390625

float nnoise(float p) { return hash(floor(p) * NOISE_SCALE); }
float nnoise(float2 p) { return hash(floor(p) * NOISE_SCALE); }
float nnoise(float3 p) { return hash(floor(p) * NOISE_SCALE); }
float nnoise(float4 p) { return hash(floor(p) * NOISE_SCALE); }

float cornerNoise1(float p, float f)
{
    return lerp(hash(p * NOISE_SCALE), hash((p + 1.0) * NOISE_SCALE), f);
}

float cornerNoise2(float2 c, float2 f)
{
    float a = hash(c * NOISE_SCALE);
    float b = hash((c + float2(1.0, 0.0)) * NOISE_SCALE);
    float d = hash((c + float2(0.0, 1.0)) * NOISE_SCALE);
    float e = hash((c + float2(1.0, 1.0)) * NOISE_SCALE);
    return lerp(lerp(a, b, f.x), lerp(d, e, f.x), f.y);
}

float cornerNoise3(float3 c, float3 f)
{
    float a = hash((c + float3(0.0, 0.0, 0.0)) * NOISE_SCALE);
    float b = hash((c + float3(1.0, 0.0, 0.0)) * NOISE_SCALE);
    float d = hash((c + float3(0.0, 1.0, 0.0)) * NOISE_SCALE);
    float e = hash((c + float3(1.0, 1.0, 0.0)) * NOISE_SCALE);
    float g = hash((c + float3(0.0, 0.0, 1.0)) * NOISE_SCALE);
    float h = hash((c + float3(1.0, 0.0, 1.0)) * NOISE_SCALE);
    float k = hash((c + float3(0.0, 1.0, 1.0)) * NOISE_SCALE);
    float l = hash((c + float3(1.0, 1.0, 1.0)) * NOISE_SCALE);
    return lerp(lerp(lerp(a, b, f.x), lerp(d, e, f.x), f.y), lerp(lerp(g, h, f.x), lerp(k, l, f.x), f.y), f.z);
}

float cornerNoise4Slice(float4 c, float3 f)
{
    float a = hash((c + float4(0.0, 0.0, 0.0, 0.0)) * NOISE_SCALE);
    float b = hash((c + float4(1.0, 0.0, 0.0, 0.0)) * NOISE_SCALE);
    float d = hash((c + float4(0.0, 1.0, 0.0, 0.0)) * NOISE_SCALE);
    float e = hash((c + float4(1.0, 1.0, 0.0, 0.0)) * NOISE_SCALE);
    float g = hash((c + float4(0.0, 0.0, 1.0, 0.0)) * NOISE_SCALE);
    float h = hash((c + float4(1.0, 0.0, 1.0, 0.0)) * NOISE_SCALE);
    float k = hash((c + float4(0.0, 1.0, 1.0, 0.0)) * NOISE_SCALE);
    float l = hash((c + float4(1.0, 1.0, 1.0, 0.0)) * NOISE_SCALE);
    return lerp(lerp(lerp(a, b, f.x), lerp(d, e, f.x), f.y), lerp(lerp(g, h, f.x), lerp(k, l, f.x), f.y), f.z);
}

float cornerNoise4(float4 c, float4 f)
{
    return lerp(cornerNoise4Slice(c, f.xyz), cornerNoise4Slice(c + float4(0.0, 0.0, 0.0, 1.0), f.xyz), f.w);
}

float lnoise(float p) { return cornerNoise1(floor(p), frac(p)); }
float lnoise(float2 p) { return cornerNoise2(floor(p), frac(p)); }
float lnoise(float3 p) { return cornerNoise3(floor(p), frac(p)); }
float lnoise(float4 p) { return cornerNoise4(floor(p), frac(p)); }

float snoise(float p) { return cornerNoise1(floor(p), smoothstep(0.0, 1.0, frac(p))); }
float snoise(float2 p) { return cornerNoise2(floor(p), smoothstep(0.0, 1.0, frac(p))); }
float snoise(float3 p) { return cornerNoise3(floor(p), smoothstep(0.0, 1.0, frac(p))); }
float snoise(float4 p) { return cornerNoise4(floor(p), smoothstep(0.0, 1.0, frac(p))); }

// ---- shading

float calcOcclusion(float3 pos, float3 normal)
{
    float sum = 0.0;
    for (float i = 1.0; i <= OCCLUSION_SAMPLES; i += 1.0)
    {
        float along = i / OCCLUSION_SAMPLES;
        sum += (1.0 / pow(2.0, i)) * (along - scene(pos + normal * along).x);
    }
    return 1.0 - OCCLUSION_FACTOR * sum;
}

float calcShadow(float3 origin, Light light)
{
    float3 toLight = light.position - origin;
    float lightDistance = length(toLight);
    float3 direction = toLight / lightDistance;
    float travelled = 15.0 * aepsilon + BUMP_FACTOR;
    float result = 1.0;
    for (int i = 0; i < MAX_SHADOW_STEPS; i++)
    {
        float distance = scene(origin + direction * travelled).x;
        if (distance < aepsilon)
            return 0.0;
        if (travelled > lightDistance || travelled > MAX_DEPTH)
            return result;
        result = min(result, light.penumbraFactor * distance / travelled);
        travelled += distance;
    }
    return result;
}

float4 calcLighting(float3 pos, float3 normal, float3 eye, Light light, Material material)
{
    float3 toLight = light.position - pos;
    float lightDistance = length(toLight);
    float3 lightDir = toLight / lightDistance;
    float3 viewDir = normalize(eye - pos);
    float diffuse = max(dot(normal, lightDir), 0.0);
    float specular = material.gloss * pow(max(dot(reflect(-lightDir, normal), viewDir), 0.0), 72.0);
    float attenuation = min(1.0, light.brightness / lightDistance);
    float shadow = calcShadow(pos, light);
    float occlusion = calcOcclusion(pos, normal);
    float ambient = 0.05;
    return light.color * material.color *
           clamp((specular + diffuse) * shadow * attenuation + ambient * occlusion, 0.0, 1.0);
}

float3 sceneNormal(float3 pos)
{
    float d = scene(pos).x;
    return normalize(float3(scene(pos + float3(aepsilon, 0.0, 0.0)).x - d,
                            scene(pos + float3(0.0, aepsilon, 0.0)).x - d,
                            scene(pos + float3(0.0, 0.0, aepsilon)).x - d));
}

// ---- operators

float3 rotate_rodrigues(float3 v, float3 axis, float angle)
{
    float c = cos(angle);
    float s = sin(angle);
    return v * c + cross(axis, v) * s + axis * dot(axis, v) * (1.0 - c);
}

float2 rotate(float2 v, float angle)
{
    float c = cos(angle);
    float s = sin(angle);
    return float2(c * v.x + s * v.y, c * v.y - s * v.x);
}

// Union with the corner rounded by radius r.
float opCombine(float a, float b, float r)
{
    float2 inside = max(float2(r - a, r - b), float2(0.0, 0.0));
    return max(r, min(a, b)) - length(inside);
}

// Union with the corner cut at 45 degrees.
float opCombineChamfer(float a, float b, float r)
{
    return min(min(a, b), (a - r + b) * sqrt(0.5));
}

float opIntersect(float a, float b)
{
    return max(a, b);
}

float2 unite(float2 a, float2 b)
{
    return a.x < b.x ? a : b;
}

float2 substract(float2 a, float2 b)
{
    return float2(max(a.x, -b.x), a.y);
}

// ---- domain repetition; each returns the index of the cell it folded into

float pMod1(inout float p, float size)
{
    float half_ = size * 0.5;
    float c = floor((p + half_) / size);
    p = mod(p + half_, size) - half_;
    return c;
}

float pModMirror1(inout float p, float size)
{
    float half_ = size * 0.5;
    float c = floor((p + half_) / size);
    p = mod(p + half_, size) - half_;
    p *= mod(c, 2.0) * 2.0 - 1.0;
    return c;
}

float2 pModMirror2(inout float2 p, float2 size)
{
    float2 half_ = size * 0.5;
    float2 c = floor((p + half_) / size);
    p = mod(p + half_, size) - half_;
    p *= mod(c, float2(2.0, 2.0)) * 2.0 - float2(1.0, 1.0);
    return c;
}

float pModSingle(inout float p, float size)
{
    float half_ = size * 0.5;
    float c = floor((p + half_) / size);
    if (p >= 0.0)
        p = mod(p + half_, size) - half_;
    return c;
}

float pModInterval1(inout float p, float size, float start, float stop)
{
    float half_ = size * 0.5;
    float c = floor((p + half_) / size);
    p = mod(p + half_, size) - half_;
    if (c > stop)
    {
        p += size * (c - stop);
        c = stop;
    }
    if (c < start)
    {
        p += size * (c - start);
        c = start;
    }
    return c;
}

float pModAngleAtan(inout float2 p, float repetitions)
{
    float angle = TAU / repetitions;
    float a = atan2(p.y, p.x) + angle * 0.5;
    float r = length(p);
    float c = floor(a / angle);
    a = mod(a, angle) - angle * 0.5;
    p = float2(cos(a), sin(a)) * r;
    if (abs(c) >= repetitions * 0.5)
        c = abs(c);
    return c;
}

float pModAngle(inout float2 p, float repetitions)
{
    return pModAngleAtan(p, repetitions);
}

float2 pModGrid2(inout float2 p, float2 size)
{
    float2 half_ = size * 0.5;
    float2 c = floor((p + half_) / size);
    p = mod(p + half_, size) - half_;
    p *= mod(c, float2(2.0, 2.0)) * 2.0 - float2(1.0, 1.0);
    p -= half_;
    if (p.x > p.y)
        p.xy = p.yx;
    return floor(c * 0.5);
}

float2 pMod2(inout float2 p, float2 size)
{
    float2 half_ = size * 0.5;
    float2 c = floor((p + half_) / size);
    p = mod(p + half_, size) - half_;
    return c;
}

float3 pMod3(inout float3 p, float3 size)
{
    float3 half_ = size * 0.5;
    float3 c = floor((p + half_) / size);
    p = mod(p + half_, size) - half_;
    return c;
}

float pMirror(inout float p, float dist)
{
    float s = sign(p);
    p = abs(p) - dist;
    return s;
}

float2 pMirror2(inout float2 p, float2 dist)
{
    float2 s = sign(p);
    pMirror(p.x, dist.x);
    pMirror(p.y, dist.y);
    if (p.y > p.x)
        p.xy = p.yx;
    return s;
}

float pReflect(inout float3 p, float3 planeNormal, float offset)
{
    float t = dot(p, planeNormal) + offset;
    if (t < 0.0)
        p = p - (2.0 * t) * planeNormal;
    return sign(t);
}

// ---- primitives

float fBox(float3 p, float3 b)
{
    float3 d = abs(p) - b;
    return length(max(d, float3(0.0, 0.0, 0.0))) + max3(min(d, float3(0.0, 0.0, 0.0)));
}

float fBox2(float2 p, float2 b)
{
    float2 d = abs(p) - b;
    return length(max(d, float2(0.0, 0.0))) + max2(min(d, float2(0.0, 0.0)));
}

// Box of half extents b with its edges rounded by r.
float fBoxHx(float3 p, float3 b, float r)
{
    return fBox(p, b - r) - r;
}

float fBoxCheap2(float2 p, float2 b)
{
    return max2(abs(p) - b);
}

float fBoxCheap(float3 p, float3 b)
{
    return max3(abs(p) - b);
}

// A box endless along z.
float fEndlessBox2(float3 p, float2 b)
{
    return fBox2(p.xy, b);
}

// Cylinder about the y axis, endless.
float fCylinder(float3 p, float r)
{
    return length(p.xz) - r;
}

// Cylinder about the y axis, from -height to height.
float fCylinder(float3 p, float r, float height)
{
    return max(length(p.xz) - r, abs(p.y) - height);
}

float fCorner(float2 p)
{
    return length(max(p, float2(0.0, 0.0))) + max2(min(p, float2(0.0, 0.0)));
}

float fSphere(float3 p, float r)
{
    return length(p) - r;
}

// Ellipsoid of radii r, approximately.
float fSpheroid(float3 p, float3 r)
{
    float k0 = length(p / r);
    return k0 * (k0 - 1.0) / length(p / (r * r));
}

// Capsule along y: a cylinder of radius r from -c to c with round caps.
float fCapsule(float3 p, float r, float c)
{
    return lerp(length(p.xz) - r, length(float3(p.x, abs(p.y) - c, p.z)) - r, step(c, abs(p.y)));
}

// Cone along y with its base of radius r at 0 and its tip at height.
float fCone(float3 p, float r, float height)
{
    float2 q = float2(length(p.xz), p.y);
    float2 tip = q - float2(0.0, height);
    float2 mantleDir = normalize(float2(height, r));
    float mantle = dot(tip, mantleDir);
    float d = max(mantle, -q.y);
    float projected = dot(tip, float2(mantleDir.y, -mantleDir.x));
    if (q.y > height && projected < 0.0)
        d = max(d, length(tip));
    if (q.x > r && projected > length(float2(height, r)))
        d = max(d, length(q - float2(r, 0.0)));
    return d;
}

// A sphere with soft bumps over its surface.
float fNippleball(float3 p, float r, float bumps, float height)
{
    float3 n = normalize(p);
    float bump = pow(abs(sin(n.x * bumps) * sin(n.y * bumps) * sin(n.z * bumps)), 8.0);
    return length(p) - r - bump * height;
}

float fPlane(float3 p, float3 n, float distanceFromOrigin)
{
    return dot(p, n) + distanceFromOrigin;
}

float fPlane(float3 p, float3 n)
{
    return dot(p, n);
}
)hlsl";
